#pragma once

#include <QDBusConnection>
#include <QString>

#include <memory>

#include "readers/DdeConversation.h"

class QDBusServiceWatcher;

namespace kestrel {

class DdeBusConversation final : public DdeConversation {
public:
    static constexpr char kInterface[] = "dde.Conversation";

    DdeBusConversation(QDBusConnection bus, QString busName, QString owner, QString path,
                       int timeoutMs);
    ~DdeBusConversation() override;

    bool Execute(const std::string& command) override;
    std::optional<std::string> Request(const std::string& item) override;
    bool IsOpen() const override;
    void Disconnect() override;
    void SetOnDisconnected(std::function<void()> handler) override;

    // The unique connection name that owns busName, or empty when nobody does.
    static QString CurrentOwner(const QDBusConnection& bus, const QString& busName, int timeoutMs);

private:
    void OnOwnerChanged(const QString& oldOwner);

    QDBusConnection m_bus;
    QString m_busName;
    QString m_owner;
    QString m_path;
    int m_timeoutMs;
    bool m_open = true;
    std::function<void()> m_onDisconnected;
    std::unique_ptr<QDBusServiceWatcher> m_watcher;
};

}  // namespace kestrel
