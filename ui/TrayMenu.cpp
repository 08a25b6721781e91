#include "ui/TrayMenu.h"

#include <QAction>
#include <QMenu>

#include "platform/QtText.h"

namespace kestrel {

namespace {

void applyState(QAction* action, const TrayMenuEntry& entry) {
    action->setEnabled(entry.enabled);
    action->setChecked(entry.checked);
}

}  // namespace

TrayMenu::TrayMenu(QObject* parent) : QObject(parent), m_menu(std::make_unique<QMenu>()) {
    m_placesMenu = new QMenu(m_menu.get());
    for (const TrayMenuEntry& entry : TrayMenuEntries(TrayMenuState{})) {
        switch (entry.kind) {
            case TrayEntryKind::Separator:
                m_menu->addSeparator();
                break;
            case TrayEntryKind::Submenu:
                m_placesMenu->setTitle(fromSjis(entry.text));
                m_menu->addMenu(m_placesMenu);
                break;
            case TrayEntryKind::Item: {
                QAction* action = m_menu->addAction(fromSjis(entry.text));
                const unsigned id = entry.id;
                connect(action, &QAction::triggered, this, [this, id] { chosen(id); });
                m_items[id] = action;
                break;
            }
        }
    }
    connect(m_menu.get(), &QMenu::aboutToShow, this, [this] {
        if (m_source) Update(m_source());
    });
}

TrayMenu::~TrayMenu() = default;

void TrayMenu::Update(const TrayMenuState& state) {
    for (const TrayMenuEntry& entry : TrayMenuEntries(state)) {
        if (entry.kind != TrayEntryKind::Item) continue;
        applyState(m_items.at(entry.id), entry);
    }
    rebuildPlaces(state);
}

void TrayMenu::rebuildPlaces(const TrayMenuState& state) {
    for (const auto& [id, text] : m_placeTexts) m_items.erase(id);
    m_items.erase(ID_TRAY_AWAY);
    m_items.erase(ID_TRAY_PRESENT);
    m_placeTexts.clear();
    // Not deleted at once: Update may run from the handler of one of these items.
    for (QAction* old : m_placesMenu->actions()) {
        m_placesMenu->removeAction(old);
        old->deleteLater();
    }

    for (const TrayMenuEntry& entry : PlacesMenuEntries(state)) {
        if (entry.kind == TrayEntryKind::Separator) {
            m_placesMenu->addSeparator();
            continue;
        }
        QAction* action = m_placesMenu->addAction(fromSjis(entry.text));
        action->setCheckable(true);
        applyState(action, entry);
        const unsigned id = entry.id;
        connect(action, &QAction::triggered, this, [this, id] { chosen(id); });
        m_items[id] = action;
        if (IsTrayPlaceId(id)) m_placeTexts[id] = entry.text;
    }
}

void TrayMenu::Open(const QPoint& at) {
    const int width = m_menu->sizeHint().width();
    m_menu->popup(QPoint(at.x() - width, at.y()));
}

QAction* TrayMenu::Action(unsigned id) const {
    const auto it = m_items.find(id);
    return it == m_items.end() ? nullptr : it->second;
}

void TrayMenu::chosen(unsigned id) {
    if (IsTrayPlaceId(id)) {
        const auto it = m_placeTexts.find(id);
        if (it == m_placeTexts.end()) return;
        // Copied: the handler may open the menu again, which makes the places anew.
        const std::string place = it->second;
        emit placeChosen(id, place);
        return;
    }
    emit commandChosen(id);
}

}  // namespace kestrel
