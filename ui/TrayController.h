#pragma once

#include <functional>
#include <memory>

#include "ui/TrayMenuModel.h"

class QWidget;

namespace kestrel {

class FrameClient;
class TrayIcon;
class TrayMenu;

// The tray icon and its menu, and where their clicks go: a double click brings the main
// window forward with the pending notice (WM_SHOW_NOTICE), the right button opens the menu
// with the state of the moment, and the menu's items go to the main window or to the frame's
// client. The frame owns it and drives the icon's state.
class TrayController {
public:
    // What the tray does to the main window it belongs to.
    struct Window {
        // Brought forward by the tray's clicks; takes WM_SHOW_NOTICE.
        QWidget* widget;
        std::function<void()> showMainWindow;
        std::function<void()> exit;
        std::function<bool()> mainWindowHidden;
    };
    explicit TrayController(Window window);
    ~TrayController();
    TrayController(const TrayController&) = delete;
    TrayController& operator=(const TrayController&) = delete;

    // The view the menu's chat, presence and place items go to; none: they do nothing.
    void SetClient(FrameClient* client) { m_client = client; }

    // The tray's mouse messages (WM_TRAY_NOTIFY's lParam).
    void OnTrayNotify(unsigned mouseMessage);
    // A tray menu item (TrayMenu::commandChosen).
    void OnTrayCommand(unsigned id);
    // What the menu shows when it opens.
    TrayMenuState MenuState() const;

    TrayIcon& Icon() const { return *m_icon; }
    TrayMenu& Menu() const { return *m_menu; }

private:
    Window m_window;
    FrameClient* m_client = nullptr;
    std::unique_ptr<TrayIcon> m_icon;
    std::unique_ptr<TrayMenu> m_menu;
};

}  // namespace kestrel
