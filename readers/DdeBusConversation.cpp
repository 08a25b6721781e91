#include "readers/DdeBusConversation.h"

#include <QByteArray>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QList>
#include <QVariant>

#include "platform/QtText.h"

namespace kestrel {

DdeBusConversation::DdeBusConversation(QDBusConnection bus, QString busName, QString owner,
                                       QString path, int timeoutMs)
    : m_bus(std::move(bus)),
      m_busName(std::move(busName)),
      m_owner(std::move(owner)),
      m_path(std::move(path)),
      m_timeoutMs(timeoutMs),
      m_watcher(std::make_unique<QDBusServiceWatcher>(m_busName, m_bus,
                                                      QDBusServiceWatcher::WatchForOwnerChange)) {
    QObject::connect(m_watcher.get(), &QDBusServiceWatcher::serviceOwnerChanged, m_watcher.get(),
                     [this](const QString&, const QString& oldOwner, const QString&) {
                         OnOwnerChanged(oldOwner);
                     });
}

DdeBusConversation::~DdeBusConversation() = default;

QString DdeBusConversation::CurrentOwner(const QDBusConnection& bus, const QString& busName,
                                         int timeoutMs) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetNameOwner"));
    call << busName;
    const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return reply.arguments().constFirst().toString();
}

bool DdeBusConversation::Execute(const std::string& command) {
    if (!m_open) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(m_owner, m_path, QLatin1String(kInterface),
                                                       QStringLiteral("Execute"));
    call << QByteArray(command.data(), static_cast<qsizetype>(command.size()));
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, m_timeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

std::optional<std::string> DdeBusConversation::Request(const std::string& item) {
    if (!m_open) return std::nullopt;
    QDBusMessage call = QDBusMessage::createMethodCall(m_owner, m_path, QLatin1String(kInterface),
                                                       QStringLiteral("Request"));
    // A bus string must be UTF-8; the item goes as the text it stands for.
    call << fromSjis(item);
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, m_timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    const QVariant data = reply.arguments().constFirst();
    if (data.metaType() != QMetaType::fromType<QByteArray>()) return std::nullopt;
    const QByteArray bytes = data.toByteArray();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

bool DdeBusConversation::IsOpen() const {
    // The watcher's notice comes through the event loop; ask the bus so a reader that has
    // just quit is not taken for a live one.
    return m_open && CurrentOwner(m_bus, m_busName, m_timeoutMs) == m_owner;
}

void DdeBusConversation::Disconnect() {
    m_open = false;
    m_onDisconnected = nullptr;
    // Safe inside the watcher's own signal: Qt allows disconnecting during emission.
    QObject::disconnect(m_watcher.get(), nullptr, m_watcher.get(), nullptr);
}

void DdeBusConversation::SetOnDisconnected(std::function<void()> handler) {
    m_onDisconnected = std::move(handler);
}

void DdeBusConversation::OnOwnerChanged(const QString& oldOwner) {
    if (!m_open || oldOwner != m_owner) return;
    m_open = false;
    if (auto handler = std::move(m_onDisconnected)) {
        m_onDisconnected = nullptr;
        handler();
    }
}

}  // namespace kestrel
