#include "desktop/DbusScreenSaver.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>

namespace kestrel {
namespace {

// A screen-saver service that does not answer within this is taken as "not running" for this
// poll; the next poll asks again.
constexpr int kCallTimeoutMs = 500;

}  // namespace

DbusScreenSaver::DbusScreenSaver(QObject* parent) : QObject(parent) {
    m_candidates = {{
        {QStringLiteral("org.freedesktop.ScreenSaver"),
         QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("/ScreenSaver")},
        {QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("/org/gnome/ScreenSaver"), {}},
        {QStringLiteral("org.mate.ScreenSaver"), QStringLiteral("/org/mate/ScreenSaver"), {}},
        {QStringLiteral("org.cinnamon.ScreenSaver"),
         QStringLiteral("/org/cinnamon/ScreenSaver"),
         {}},
    }};
    QDBusConnection bus = QDBusConnection::sessionBus();
    m_connected = bus.isConnected();
    if (!m_connected) return;
    QStringList names;
    for (const auto& c : m_candidates) names << c.service;
    m_watcher = new QDBusServiceWatcher(this);
    m_watcher->setConnection(bus);
    m_watcher->setWatchMode(QDBusServiceWatcher::WatchForOwnerChange);
    m_watcher->setWatchedServices(names);
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            &DbusScreenSaver::OwnerChanged);
    AskOwners();
}

DbusScreenSaver::~DbusScreenSaver() = default;

void DbusScreenSaver::AskOwners() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    for (size_t i = 0; i < m_candidates.size(); ++i) {
        QDBusMessage ask = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
        ask << m_candidates[i].service;
        auto* call = new QDBusPendingCallWatcher(bus.asyncCall(ask, kCallTimeoutMs), this);
        connect(call, &QDBusPendingCallWatcher::finished, this,
                [this, i](QDBusPendingCallWatcher* w) {
                    QDBusPendingReply<bool> reply = *w;
                    // A signal may have told us already; an answer to the start-up question never
                    // overrides a newer owner change to "gone".
                    if (!reply.isError() && reply.value()) m_candidates[i].owned = true;
                    w->deleteLater();
                });
    }
}

void DbusScreenSaver::OwnerChanged(const QString& service, const QString&,
                                   const QString& newOwner) {
    for (auto& c : m_candidates) {
        if (c.service != service) continue;
        c.owned = !newOwner.isEmpty();
        c.useAltPath = false;
    }
    if (!Current()) m_active = false;
}

DbusScreenSaver::Candidate* DbusScreenSaver::Current() {
    for (auto& c : m_candidates)
        if (c.owned) return &c;
    return nullptr;
}

QString DbusScreenSaver::CurrentService() const {
    for (const auto& c : m_candidates)
        if (c.owned) return c.service;
    return {};
}

bool DbusScreenSaver::IsActive() {
    Candidate* c = Current();
    if (!c) {
        m_active = false;
        return false;
    }
    if (!m_pending) AskActive(*c);
    return m_active;
}

void DbusScreenSaver::AskActive(Candidate& c) {
    const int index = static_cast<int>(&c - m_candidates.data());
    const bool alt = c.useAltPath;
    QDBusMessage ask = QDBusMessage::createMethodCall(c.service, alt ? c.altPath : c.path,
                                                      c.service, QStringLiteral("GetActive"));
    auto* call = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(ask, kCallTimeoutMs), this);
    m_pending = true;
    ++m_callsMade;
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, index, alt](QDBusPendingCallWatcher* w) { AnswerArrived(w, index, alt); });
}

void DbusScreenSaver::AnswerArrived(QDBusPendingCallWatcher* w, int index, bool altPath) {
    m_pending = false;
    w->deleteLater();
    QDBusPendingReply<bool> reply = *w;
    Candidate& c = m_candidates[static_cast<size_t>(index)];
    if (reply.isError()) {
        // KDE and Xfce export the freedesktop interface under either path; try the other one
        // next time when this one is not there. Any other error counts as "not running".
        const QString name = reply.error().name();
        if (!c.altPath.isEmpty() &&
            (name == QStringLiteral("org.freedesktop.DBus.Error.UnknownObject") ||
             name == QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod") ||
             name == QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface")))
            c.useAltPath = !altPath;
        m_active = false;
        return;
    }
    // An answer from a service that has since gone, or lost its place to a better one, is
    // stale.
    if (Current() != &c) return;
    m_active = reply.value();
}

void DbusScreenSaver::Close() {
    Candidate* c = Current();
    if (!c) return;
    QDBusMessage ask = QDBusMessage::createMethodCall(
        c->service, c->useAltPath ? c->altPath : c->path, c->service, QStringLiteral("SetActive"));
    ask << false;
    ++m_callsMade;
    // Nobody waits for the answer: the next poll sees the saver gone.
    QDBusConnection::sessionBus().call(ask, QDBus::NoBlock);
    m_active = false;
}

}  // namespace kestrel
