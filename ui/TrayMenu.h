#pragma once

#include <QObject>
#include <QPoint>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "ui/TrayMenuModel.h"

class QAction;
class QMenu;

namespace kestrel {

// The tray menu and its places submenu. The items are made once; the places submenu is made
// again from the frame's state on every Update, and every item's state is set there.
class TrayMenu : public QObject {
    Q_OBJECT

public:
    explicit TrayMenu(QObject* parent = nullptr);
    ~TrayMenu() override;

    // Asked for the state whenever the menu is about to open, so a menu opened by the tray
    // itself is as current as one opened through Open.
    void SetStateSource(std::function<TrayMenuState()> source) { m_source = std::move(source); }

    // Makes the places submenu again and sets every item's state.
    void Update(const TrayMenuState& state);

    // Opens the menu at the cursor position `at`, its right edge on the cursor.
    void Open(const QPoint& at);

    QMenu* Menu() const { return m_menu.get(); }
    QMenu* PlacesMenu() const { return m_placesMenu; }
    // The item with this id in either menu; null when there is none.
    QAction* Action(unsigned id) const;

signals:
    // ID_TRAY_OPEN_MAIN_WINDOW, ID_TRAY_PEER_CHAT, ID_TRAY_MEMBER_LIST, ID_TRAY_AWAY,
    // ID_TRAY_PRESENT or SC_CLOSE.
    void commandChosen(unsigned id);
    // A place item; place is its CP932 text.
    void placeChosen(unsigned id, const std::string& place);

private:
    void rebuildPlaces(const TrayMenuState& state);
    void chosen(unsigned id);

    std::unique_ptr<QMenu> m_menu;
    QMenu* m_placesMenu = nullptr;
    std::map<unsigned, QAction*> m_items;
    std::map<unsigned, std::string> m_placeTexts;
    std::function<TrayMenuState()> m_source;
};

}  // namespace kestrel
