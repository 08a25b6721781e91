#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/QtText.h"
#include "res/Cp932.h"
#include "res/Ids.h"
#include "tests/support/Spin.h"
#include "ui/TrayMenu.h"
#include "ui/TrayMenuModel.h"

namespace kestrel {
namespace {

std::string sj(const char* utf8) {
    return utf8ToCp932(utf8);
}

const std::string kSep = "~:_";

TrayMenuEntry item(unsigned id, const char* utf8, bool enabled, bool checked = false) {
    return {TrayEntryKind::Item, id, sj(utf8), enabled, checked};
}
TrayMenuEntry separator() {
    return {TrayEntryKind::Separator, 0, {}, true, false};
}

TEST(TrayMenuModel, TrayMenuLayoutAndTexts) {
    TrayMenuState s;
    s.mainWindowHidden = true;
    s.peerChatActive = true;
    const std::vector<TrayMenuEntry> expected = {
        item(32999, "メイン画面を開く...", true),
        separator(),
        item(106, "ピアチャット表示...", true),
        item(107, "メンバリスト表示...", true),
        separator(),
        {TrayEntryKind::Submenu, 0, sj("居所変更"), true, false},
        separator(),
        item(0xF060, "Kestrelの終了", true),
    };
    EXPECT_EQ(TrayMenuEntries(s), expected);
}

TEST(TrayMenuModel, TrayItemStates) {
    struct Case {
        const char* name;
        bool hidden, chat, chatOpen, membersOpen, login;
        bool openMain, chatItems, exit;
    };
    const Case cases[] = {
        {"window shown, no peer chat", false, false, false, false, false, false, false, true},
        {"window hidden, peer chat on", true, true, false, false, false, true, true, true},
        {"chat window open", true, true, true, false, false, true, false, true},
        {"member list open", true, true, false, true, false, true, false, true},
        {"log-in running", false, true, false, false, true, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TrayMenuState s;
        s.mainWindowHidden = c.hidden;
        s.peerChatActive = c.chat;
        s.chatWindowOpen = c.chatOpen;
        s.memberListOpen = c.membersOpen;
        s.loginInProgress = c.login;
        const auto entries = TrayMenuEntries(s);
        EXPECT_EQ(entries[0].enabled, c.openMain);
        EXPECT_EQ(entries[2].enabled, c.chatItems);
        EXPECT_EQ(entries[3].enabled, c.chatItems);
        EXPECT_EQ(entries[7].enabled, c.exit);
    }
}

TEST(TrayMenuModel, PlaceItemsFromList) {
    struct Case {
        const char* name;
        std::string list;
        std::vector<PlaceItem> items;
    };
    std::string fiftyTwo;
    for (int i = 0; i < 52; ++i) fiftyTwo += "p" + std::to_string(i) + kSep;
    std::string emptiesFirst;
    for (int i = 0; i < 49; ++i) emptiesFirst += kSep;
    emptiesFirst += "x" + kSep + "y" + kSep;

    std::vector<PlaceItem> firstFifty;
    for (int i = 0; i < 50; ++i) firstFifty.push_back({2001u + i, "p" + std::to_string(i)});

    const Case cases[] = {
        {"default places", sj("会議室~:_トイレ~:_"), {{2001, sj("会議室")}, {2002, sj("トイレ")}}},
        {"empty items keep their positions", "a~:_~:_b~:_", {{2001, "a"}, {2003, "b"}}},
        {"text without separator is one item", "a", {{2001, "a"}}},
        {"last item without separator", "a~:_b", {{2001, "a"}, {2002, "b"}}},
        {"empty list", "", {}},
        {"only separators", "~:_~:_", {}},
        {"more than fifty", fiftyTwo, firstFifty},
        {"position 50 is past the end even after empty items", emptiesFirst, {{2050, "x"}}},
        {"partial separators stay in the text", "a~:b~_~:_", {{2001, "a~:b~_"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TrayPlaceItems(c.list), c.items);
    }
}

TEST(TrayMenuModel, PlacesSubmenuStates) {
    const std::string places = sj("会議室~:_トイレ~:_");
    const std::string unknown = sj("不明");
    const std::string room = sj("会議室");
    struct Case {
        const char* name;
        bool chat, present;
        std::string whereabouts;
        bool roomChecked, toiletChecked, awayEnabled, awayChecked, presentEnabled, presentChecked;
    };
    const Case cases[] = {
        {"present", true, true, room, false, false, true, false, true, true},
        {"away at a listed place", true, false, room, true, false, false, false, true, false},
        {"away without a place", true, false, unknown, false, false, true, true, true, false},
        {"away at a place not in the list", true, false, sj("食堂"), false, false, false, false,
         true, false},
        {"peer chat off", false, false, unknown, false, false, false, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TrayMenuState s;
        s.peerChatActive = c.chat;
        s.present = c.present;
        s.whereabouts = c.whereabouts;
        s.places = places;
        const std::vector<TrayMenuEntry> expected = {
            {TrayEntryKind::Item, 2001, room, c.chat, c.roomChecked},
            {TrayEntryKind::Item, 2002, sj("トイレ"), c.chat, c.toiletChecked},
            separator(),
            item(2000, "離席中(居所指定なし)", c.awayEnabled, c.awayChecked),
            separator(),
            item(103, "在席中", c.presentEnabled, c.presentChecked),
        };
        EXPECT_EQ(PlacesMenuEntries(s), expected);
    }
}

TrayMenuState awayState(const std::string& places, const std::string& where) {
    TrayMenuState s;
    s.mainWindowHidden = true;
    s.peerChatActive = true;
    s.present = false;
    s.whereabouts = where;
    s.places = places;
    return s;
}

std::vector<QString> texts(const QMenu* menu) {
    std::vector<QString> out;
    for (const QAction* a : menu->actions())
        out.push_back(a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

TEST(TrayMenu, BuildsMenusAndReportsChoices) {
    TrayMenu menu;
    menu.Update(awayState(sj("会議室~:_~:_トイレ~:_"), sj("トイレ")));

    ASSERT_EQ(menu.Menu()->actions().size(), 8);
    EXPECT_EQ(menu.Menu()->actions().at(5)->menu(), menu.PlacesMenu());
    EXPECT_EQ(menu.PlacesMenu()->title(), fromSjis(sj("居所変更")));
    const std::vector<QString> places = {
        QString::fromUtf8("会議室"), QString::fromUtf8("トイレ"),
        QStringLiteral("-"),         QString::fromUtf8("離席中(居所指定なし)"),
        QStringLiteral("-"),         QString::fromUtf8("在席中")};
    EXPECT_EQ(texts(menu.PlacesMenu()), places);
    ASSERT_NE(menu.Action(2003), nullptr);
    EXPECT_TRUE(menu.Action(2003)->isChecked());
    EXPECT_FALSE(menu.Action(2001)->isChecked());
    EXPECT_FALSE(menu.Action(2000)->isEnabled());
    EXPECT_TRUE(menu.Action(ID_TRAY_OPEN_MAIN_WINDOW)->isEnabled());

    std::vector<unsigned> commands;
    std::vector<std::pair<unsigned, std::string>> placesChosen;
    QObject::connect(&menu, &TrayMenu::commandChosen, [&](unsigned id) { commands.push_back(id); });
    QObject::connect(&menu, &TrayMenu::placeChosen, [&](unsigned id, const std::string& place) {
        placesChosen.emplace_back(id, place);
    });
    menu.Action(2003)->trigger();
    menu.Action(ID_TRAY_PRESENT)->trigger();
    menu.Action(SC_CLOSE)->trigger();
    EXPECT_EQ(placesChosen, (std::vector<std::pair<unsigned, std::string>>{{2003u, sj("トイレ")}}));
    EXPECT_EQ(commands, (std::vector<unsigned>{ID_TRAY_PRESENT, SC_CLOSE}));
}

TEST(TrayMenu, PlacesAreMadeAgainOnEveryUpdate) {
    TrayMenu menu;
    menu.Update(awayState(sj("会議室~:_トイレ~:_"), sj("不明")));
    menu.Update(awayState(sj("食堂~:_"), sj("不明")));
    EXPECT_EQ(menu.PlacesMenu()->actions().size(), 5);
    EXPECT_EQ(menu.Action(2002), nullptr);
    ASSERT_NE(menu.Action(2001), nullptr);
    EXPECT_EQ(menu.Action(2001)->text(), QString::fromUtf8("食堂"));
    EXPECT_TRUE(menu.Action(2000)->isChecked());
}

TEST(TrayMenu, HandlerMayRebuildTheMenuItCameFrom) {
    TrayMenu menu;
    const TrayMenuState state = awayState(sj("会議室~:_"), sj("不明"));
    menu.Update(state);
    std::string chosen;
    QObject::connect(&menu, &TrayMenu::placeChosen, [&](unsigned, const std::string& place) {
        menu.Update(awayState(sj("トイレ~:_"), place));
        chosen = place;
    });
    menu.Action(2001)->trigger();
    EXPECT_EQ(chosen, sj("会議室"));
    test::SpinFor(20);  // let the replaced items go
    EXPECT_EQ(menu.Action(2001)->text(), QString::fromUtf8("トイレ"));
}

TEST(TrayMenu, StateSourceIsAskedWhenTheMenuOpens) {
    TrayMenu menu;
    TrayMenuState state = awayState(sj("会議室~:_"), sj("会議室"));
    state.mainWindowHidden = false;
    menu.SetStateSource([&] { return state; });
    emit menu.Menu()->aboutToShow();
    EXPECT_FALSE(menu.Action(ID_TRAY_OPEN_MAIN_WINDOW)->isEnabled());
    EXPECT_TRUE(menu.Action(2001)->isChecked());

    state.mainWindowHidden = true;
    state.loginInProgress = true;
    emit menu.Menu()->aboutToShow();
    EXPECT_TRUE(menu.Action(ID_TRAY_OPEN_MAIN_WINDOW)->isEnabled());
    EXPECT_FALSE(menu.Action(SC_CLOSE)->isEnabled());
}

}  // namespace
}  // namespace kestrel
