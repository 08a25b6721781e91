#include "readers/DdeBusClient.h"

#include "readers/DdeBusConversation.h"

namespace kestrel {

namespace {

bool isAsciiAlnum(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

DdeBusClient::DdeBusClient(QDBusConnection bus, int timeoutMs)
    : m_bus(std::move(bus)), m_timeoutMs(timeoutMs) {}

QString DdeBusClient::BusName(const std::string& service) {
    // One element of a well-known bus name: letters, digits, '_' and '-', no leading digit.
    if (service.empty() || service.size() > 200 || (service[0] >= '0' && service[0] <= '9'))
        return {};
    for (char c : service)
        if (!isAsciiAlnum(c) && c != '_' && c != '-') return {};
    return QStringLiteral("dde.") + QString::fromLatin1(service.data(), service.size());
}

QString DdeBusClient::ObjectPath(const std::string& topic) {
    if (topic.empty()) return {};
    for (char c : topic)
        if (!isAsciiAlnum(c) && c != '_') return {};
    return QStringLiteral("/") + QString::fromLatin1(topic.data(), topic.size());
}

std::unique_ptr<DdeConversation> DdeBusClient::Connect(const std::string& service,
                                                       const std::string& topic) {
    const QString busName = BusName(service);
    const QString path = ObjectPath(topic);
    if (busName.isEmpty() || path.isEmpty() || !m_bus.isConnected()) return nullptr;
    QString owner = DdeBusConversation::CurrentOwner(m_bus, busName, m_timeoutMs);
    if (owner.isEmpty()) return nullptr;
    return std::make_unique<DdeBusConversation>(m_bus, busName, std::move(owner), path,
                                                m_timeoutMs);
}

}  // namespace kestrel
