#include "ui/TrayMenuModel.h"

#include <string_view>

#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsCore.h"
#include "res/TextsUi.h"

namespace kestrel {

namespace {

TrayMenuEntry item(unsigned id, const char* utf8Text, bool enabled, bool checked = false) {
    return {TrayEntryKind::Item, id, sjis(utf8Text), enabled, checked};
}

TrayMenuEntry separator() {
    return {TrayEntryKind::Separator, 0, {}, true, false};
}

bool awayWithoutPlace(const TrayMenuState& s) {
    return !s.present && s.whereabouts == sjis(txt::kTrayWhereaboutsUnknown);
}

}  // namespace

std::vector<PlaceItem> TrayPlaceItems(const std::string& places) {
    const std::string& sep = sjis(txt::kListSeparator);
    // Read as a stored list is read: a last item without its separator still counts.
    const std::string list = places + sep;
    std::vector<PlaceItem> items;
    std::string_view rest(list);
    for (int position = 0; position < kTrayMaxPlaces; ++position) {
        const auto cut = rest.find(sep);
        if (cut == std::string_view::npos) break;
        const std::string_view text = rest.substr(0, cut);
        rest.remove_prefix(cut + sep.size());
        if (!text.empty()) items.push_back({ID_TRAY_PLACE_FIRST + position, std::string(text)});
    }
    return items;
}

std::vector<TrayMenuEntry> TrayMenuEntries(const TrayMenuState& s) {
    const bool chatWindowsClosed = !s.chatWindowOpen && !s.memberListOpen;
    const bool chatItems = s.peerChatActive && chatWindowsClosed;
    return {
        item(ID_TRAY_OPEN_MAIN_WINDOW, txt::kTrayOpenMainWindow, s.mainWindowHidden),
        separator(),
        item(ID_TRAY_PEER_CHAT, txt::kTrayShowPeerChat, chatItems),
        item(ID_TRAY_MEMBER_LIST, txt::kTrayShowMemberList, chatItems),
        separator(),
        {TrayEntryKind::Submenu, 0, sjis(txt::kTrayChangeWhereabouts), true, false},
        separator(),
        item(SC_CLOSE, txt::kTrayExit, !s.loginInProgress),
    };
}

std::vector<TrayMenuEntry> PlacesMenuEntries(const TrayMenuState& s) {
    std::vector<TrayMenuEntry> entries;
    for (const PlaceItem& place : TrayPlaceItems(s.places)) {
        const bool checked = !s.present && place.text == s.whereabouts;
        entries.push_back({TrayEntryKind::Item, place.id, place.text, s.peerChatActive, checked});
    }
    entries.push_back(separator());
    const bool awayAtPlace = !s.present && !awayWithoutPlace(s);
    entries.push_back(item(ID_TRAY_AWAY, txt::kTrayAwayNoPlace, s.peerChatActive && !awayAtPlace,
                           awayWithoutPlace(s)));
    entries.push_back(separator());
    entries.push_back(item(ID_TRAY_PRESENT, txt::kTrayPresent, s.peerChatActive, s.present));
    return entries;
}

bool IsTrayPlaceId(unsigned id) {
    return id >= ID_TRAY_PLACE_FIRST && id <= ID_TRAY_PLACE_LAST;
}

}  // namespace kestrel
