#include "ui/TrayIcon.h"

#include <QGuiApplication>
#include <QStyleHints>

#include "platform/MessageEvent.h"
#include "platform/QtText.h"
#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsCore.h"
#include "ui/IconCatalog.h"

namespace kestrel {

namespace {

TrayClick clickOf(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            return TrayClick::Single;
        case QSystemTrayIcon::DoubleClick:
            return TrayClick::Double;
        case QSystemTrayIcon::Context:
            return TrayClick::Context;
        case QSystemTrayIcon::MiddleClick:
            return TrayClick::Middle;
        case QSystemTrayIcon::Unknown:
            break;
    }
    return TrayClick::Other;
}

}  // namespace

TrayIcon::TrayIcon(QObject* parent)
    : TrayIcon([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, kAvailabilityRetryMs,
               parent) {}

TrayIcon::TrayIcon(AvailabilityProbe probe, int retryMs, QObject* parent)
    : QObject(parent),
      m_probe(std::move(probe)),
      m_clicks(QGuiApplication::styleHints()->mouseDoubleClickInterval()) {
    m_clock.start();
    m_tray.setToolTip(fromSjis(sjis(txt::kProductTitle)));
    m_tray.setIcon(IconCatalog::Icon(IconIdFor(TrayState::Starting)));
    connect(&m_tray, &QSystemTrayIcon::activated, this, &TrayIcon::onActivated);

    m_available = m_probe();
    if (m_available) m_tray.show();
    // Kept running after the tray has appeared: a restarted panel takes the tray away and
    // brings a new one.
    m_retry.setInterval(retryMs);
    connect(&m_retry, &QTimer::timeout, this, &TrayIcon::recheckAvailability);
    m_retry.start();
}

TrayIcon::~TrayIcon() {
    Remove();
}

int TrayIcon::IconIdFor(TrayState state) {
    switch (state) {
        case TrayState::Starting:
            return IDI_APP;
        case TrayState::Stopped:
            return IDI_STOPPED;
        case TrayState::Idle:
            return IDI_RUNNING;
        case TrayState::Mail:
            return IDI_MAIL;
        case TrayState::News:
            return IDI_NEWS;
        case TrayState::NewsAndMail:
            return IDI_NEWS_AND_MAIL;
    }
    return IDI_APP;
}

void TrayIcon::SetState(TrayState state) {
    const QIcon icon = IconCatalog::Icon(IconIdFor(state));
    if (icon.isNull()) return;
    m_state = state;
    m_tray.setIcon(icon);
}

void TrayIcon::Remove() {
    m_removed = true;
    m_retry.stop();
    m_tray.hide();
}

void TrayIcon::onActivated(QSystemTrayIcon::ActivationReason reason) {
    const auto message = m_clicks.Feed(clickOf(reason), m_clock.elapsed());
    if (!message) return;
    if (m_notifyTarget) PostMessage(m_notifyTarget, WM_TRAY_NOTIFY, 0, *message);
    emit mouseMessage(*message);
}

void TrayIcon::recheckAvailability() {
    const bool now = m_probe();
    if (now == m_available) return;
    m_available = now;
    if (m_removed) return;
    if (now) {
        m_tray.show();
    } else {
        m_tray.hide();
    }
    emit availabilityChanged(now);
}

}  // namespace kestrel
