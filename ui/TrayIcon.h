#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>

#include <functional>

#include "ui/TrayClickFilter.h"

namespace kestrel {

// What the tray shows; each state has one icon (see IconIdFor).
enum class TrayState { Starting, Stopped, Idle, Mail, News, NewsAndMail };

// The program's icon in the notification area. The frame drives it with its state and gets
// back the two mouse actions it handles, as the WM_TRAY_NOTIFY mouse messages
// WM_LBUTTONDBLCLK and WM_RBUTTONDOWN. The tip is the product title and never changes.
//
// A desktop may start its tray after the program (or restart it); availability is checked
// again every few seconds, the icon is put on the tray as soon as one exists, and
// availabilityChanged tells the frame, which must not hide its window where no tray is.
class TrayIcon : public QObject {
    Q_OBJECT

public:
    using AvailabilityProbe = std::function<bool()>;
    static constexpr int kAvailabilityRetryMs = 3000;

    // Uses QSystemTrayIcon::isSystemTrayAvailable. Shows the starting icon (IDI_APP).
    explicit TrayIcon(QObject* parent = nullptr);
    TrayIcon(AvailabilityProbe probe, int retryMs, QObject* parent = nullptr);
    ~TrayIcon() override;

    static int IconIdFor(TrayState state);

    // Changes the icon; when the picture cannot be loaded nothing changes.
    void SetState(TrayState state);
    TrayState State() const { return m_state; }
    int IconId() const { return IconIdFor(m_state); }

    // Whether a notification area exists to hide the main window to.
    bool Available() const { return m_available; }

    // Also post each mouse message as WM_TRAY_NOTIFY (lParam = the message) to target.
    void SetNotifyTarget(QObject* target) { m_notifyTarget = target; }

    // Takes the icon off the tray for good (exit); later availability changes leave it off.
    void Remove();

    // The underlying icon, for its geometry (placing the menu) and balloon messages.
    QSystemTrayIcon* Platform() { return &m_tray; }

signals:
    void mouseMessage(unsigned message);
    void availabilityChanged(bool available);

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    void recheckAvailability();

    AvailabilityProbe m_probe;
    QSystemTrayIcon m_tray;
    QTimer m_retry;
    QElapsedTimer m_clock;
    TrayClickFilter m_clicks;
    QObject* m_notifyTarget = nullptr;
    TrayState m_state = TrayState::Starting;
    bool m_available = false;
    bool m_removed = false;
};

}  // namespace kestrel
