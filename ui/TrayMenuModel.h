#pragma once

#include <string>
#include <vector>

#include "res/Ids.h"

namespace kestrel {

// Item ids of the tray menu and its places submenu. The first item is the same command as
// the system command that opens the main window; the exit item carries the system close
// command SC_CLOSE (res/Ids.h).
inline constexpr unsigned ID_TRAY_OPEN_MAIN_WINDOW = 32999;
inline constexpr unsigned ID_TRAY_PEER_CHAT = 106;
inline constexpr unsigned ID_TRAY_MEMBER_LIST = 107;
inline constexpr unsigned ID_TRAY_PRESENT = 103;
inline constexpr unsigned ID_TRAY_AWAY = 2000;
inline constexpr unsigned ID_TRAY_PLACE_FIRST = 2001;
inline constexpr int kTrayMaxPlaces = 50;
inline constexpr unsigned ID_TRAY_PLACE_LAST = ID_TRAY_PLACE_FIRST + kTrayMaxPlaces - 1;

// What the frame knows when a tray menu opens. Texts are CP932.
struct TrayMenuState {
    bool mainWindowHidden = false;
    bool peerChatActive = false;
    bool chatWindowOpen = false;
    bool memberListOpen = false;
    bool present = true;
    std::string whereabouts;  // "不明" stands for away without a place
    std::string places;       // the WhereIs/Places list, every item followed by "~:_"
    bool loginInProgress = false;
};

enum class TrayEntryKind { Item, Separator, Submenu };

struct TrayMenuEntry {
    TrayEntryKind kind = TrayEntryKind::Item;
    unsigned id = 0;   // 0 for separators and the submenu
    std::string text;  // CP932
    bool enabled = true;
    bool checked = false;

    bool operator==(const TrayMenuEntry&) const = default;
};

struct PlaceItem {
    unsigned id;
    std::string text;  // CP932

    bool operator==(const PlaceItem&) const = default;
};

// The places of a list that get a menu item: non-empty items at positions 0 to 49, where
// empty items count as positions too; id = ID_TRAY_PLACE_FIRST + position.
std::vector<PlaceItem> TrayPlaceItems(const std::string& places);

// The tray menu from top to bottom with its item states; the places submenu is the one
// Submenu entry.
std::vector<TrayMenuEntry> TrayMenuEntries(const TrayMenuState& state);

// The places submenu from top to bottom with its item states.
std::vector<TrayMenuEntry> PlacesMenuEntries(const TrayMenuState& state);

bool IsTrayPlaceId(unsigned id);

}  // namespace kestrel
