#pragma once

#include <QDBusConnection>

#include "readers/DdeClient.h"

namespace kestrel {

// Conversations over D-Bus: service S and topic T are the bus name "dde.S" and the object
// path "/T" with interface "dde.Conversation". A conversation is bound to the connection
// that owned the name when it was made, as a DDE conversation is bound to one server.
class DdeBusClient final : public DdeClient {
public:
    static constexpr int kTransactionTimeoutMs = 1000;

    explicit DdeBusClient(QDBusConnection bus = QDBusConnection::sessionBus(),
                          int timeoutMs = kTransactionTimeoutMs);

    std::unique_ptr<DdeConversation> Connect(const std::string& service,
                                             const std::string& topic) override;

    // "dde." + service and "/" + topic, or empty when the text cannot name a bus object.
    static QString BusName(const std::string& service);
    static QString ObjectPath(const std::string& topic);

private:
    QDBusConnection m_bus;
    int m_timeoutMs;
};

}  // namespace kestrel
