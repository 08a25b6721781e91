// The list dialogs: broadcast addresses and whereabouts places.
#include <QLineEdit>
#include <QListWidget>

#include <gtest/gtest.h>

#include "res/Text.h"
#include "res/TextsSettingsDlg.h"
#include "settings_ui/CBroadcastDlg.h"
#include "settings_ui/CPlacesDlg.h"
#include "tests/settings_ui/DialogTestSupport.h"

namespace kestrel {
namespace {

using namespace test;

QStringList Items(QListWidget* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
    return items;
}

TEST(BroadcastDialog, AddsOnlyWhatTheAddressCheckPasses) {
    struct Case {
        const char* address;
        bool accepted;
    };
    const Case cases[] = {
        {"192.168.10.255", true}, {"0.0.0.0", true},     {"12a.1.1.1", false},
        {"192.168.10", false},    {"1.2.3.4.5", false},  {"256.1.1.1", false},
        {"1..1.1", false},        {"00.1.1.1", false},   {"-1.1.1.1", false},
        {"1.1.1.1.", false},      {"1~:_.1.1.1", false}, {"１.1.1.1", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        RecordingMessageBoxes boxes;
        CBroadcastDlg dlg(boxes);
        dlg.SetValues(Defaults());
        Edit(dlg, 1065)->setText(U(c.address));
        Button(dlg, 1067)->click();
        if (c.accepted) {
            EXPECT_TRUE(boxes.boxes.empty());
            EXPECT_EQ(Items(List(dlg, 1066)), QStringList{U(c.address)});
            EXPECT_TRUE(Edit(dlg, 1065)->text().isEmpty());
        } else {
            ASSERT_EQ(boxes.boxes.size(), 1u);
            EXPECT_EQ(boxes.boxes[0].captionUtf8(), "入力形式エラー");
            EXPECT_EQ(boxes.boxes[0].textUtf8(), txt::kBroadcastFormatError);
            EXPECT_EQ(List(dlg, 1066)->count(), 0);
            EXPECT_EQ(Edit(dlg, 1065)->text(), U(c.address));
        }
    }
}

TEST(BroadcastDialog, KeepsTheListSortedAndStoresItAtOkOnly) {
    RecordingMessageBoxes boxes;
    CBroadcastDlg dlg(boxes);
    ViewSettings v = Defaults();
    v.BroadIPs = "10.0.0.255~:_";
    dlg.SetValues(v);
    EXPECT_EQ(Items(List(dlg, 1066)), QStringList{QStringLiteral("10.0.0.255")});
    Button(dlg, 1067)->click();  // empty edit: nothing
    EXPECT_TRUE(boxes.boxes.empty());
    for (const char* a : {"192.168.1.255", "12.1.1.1"}) {
        Edit(dlg, 1065)->setText(U(a));
        Button(dlg, 1067)->click();
    }
    EXPECT_EQ(Items(List(dlg, 1066)),
              (QStringList{QStringLiteral("10.0.0.255"), QStringLiteral("12.1.1.1"),
                           QStringLiteral("192.168.1.255")}));
    EXPECT_EQ(dlg.Values().BroadIPs, "10.0.0.255~:_");

    List(dlg, 1066)->setCurrentRow(0);
    Button(dlg, 1068)->click();
    Edit(dlg, 1065)->setText(QStringLiteral("172.16.0.255"));  // typed but never added
    dlg.accept();
    ASSERT_TRUE(Accepted(dlg));
    EXPECT_EQ(dlg.Values().BroadIPs, "12.1.1.1~:_192.168.1.255~:_");
}

TEST(BroadcastDialog, RefusesARepeatedAddressAndMoreThanTheChatSendsTo) {
    RecordingMessageBoxes boxes;
    CBroadcastDlg dlg(boxes);
    dlg.SetValues(Defaults());
    auto add = [&](const std::string& address) {
        Edit(dlg, 1065)->setText(QString::fromStdString(address));
        Button(dlg, 1067)->click();
    };
    add("10.0.0.255");
    add("10.0.0.255");
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].textUtf8(), "このアドレスはすでにリストにあります");
    EXPECT_EQ(List(dlg, 1066)->count(), 1);
    for (int i = 1; i < 64; ++i) add("10.0." + std::to_string(i) + ".255");
    EXPECT_EQ(List(dlg, 1066)->count(), 64);
    EXPECT_EQ(boxes.boxes.size(), 1u);
    add("10.1.0.255");
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[1].textUtf8(), "ブロードキャストアドレスは64個まで登録できます");
    EXPECT_EQ(List(dlg, 1066)->count(), 64);
}

TEST(PlacesDialog, AddsInOrderWithDuplicatesAndAsksBeforeDeleting) {
    RecordingMessageBoxes boxes;
    CPlacesDlg dlg(boxes);
    dlg.SetValues(Defaults());
    EXPECT_EQ(Items(List(dlg, 1032)), (QStringList{U("会議室"), U("トイレ")}));
    EXPECT_TRUE(Button(dlg, 4)->property("default").toBool());
    for (const char* place : {"食堂", "食堂", "ミ:_"}) {  // ミ ends in the byte of "~"
        Edit(dlg, 1006)->setText(U(place));
        Button(dlg, 4)->click();
    }
    EXPECT_EQ(Items(List(dlg, 1032)),
              (QStringList{U("会議室"), U("トイレ"), U("食堂"), U("食堂"), U("ミ:_")}));

    List(dlg, 1032)->setCurrentRow(0);
    boxes.answers = {BoxAnswer::No};
    Button(dlg, 3)->click();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].textUtf8(), "会議室 を削除していいですか？");
    EXPECT_EQ(boxes.boxes[0].captionUtf8(), "削除の確認");
    EXPECT_EQ(boxes.boxes[0].buttons, BoxButtons::YesNo);
    EXPECT_EQ(List(dlg, 1032)->count(), 5);
    List(dlg, 1032)->setCurrentRow(0);
    Button(dlg, 3)->click();  // Yes
    EXPECT_EQ(List(dlg, 1032)->count(), 4);

    dlg.accept();
    ASSERT_TRUE(Accepted(dlg));
    EXPECT_EQ(dlg.Values().Places, sjis("トイレ~:_食堂~:_食堂~:_ミ:_~:_"));
}

TEST(PlacesDialog, RefusesTheSeparatorAndStoresAnEmptyListAsEmpty) {
    RecordingMessageBoxes boxes;
    CPlacesDlg dlg(boxes);
    dlg.SetValues(Defaults());
    Edit(dlg, 1006)->setText(QStringLiteral("a~:_b"));
    Button(dlg, 4)->click();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].captionUtf8(), "注意");
    EXPECT_EQ(Edit(dlg, 1006)->text(), QStringLiteral("a~:_b"));
    EXPECT_EQ(List(dlg, 1032)->count(), 2);

    while (List(dlg, 1032)->count() > 0) {
        List(dlg, 1032)->setCurrentRow(0);
        Button(dlg, 3)->click();
    }
    dlg.accept();
    ASSERT_TRUE(Accepted(dlg));
    EXPECT_EQ(dlg.Values().Places, "");
}

TEST(PlacesDialog, CancelLeavesTheValuesAsTheyWere) {
    RecordingMessageBoxes boxes;
    CPlacesDlg dlg(boxes);
    const ViewSettings before = Defaults();
    dlg.SetValues(before);
    Edit(dlg, 1006)->setText(QString(1000, QChar(0x5834)));  // 場 x 1000
    Button(dlg, 4)->click();
    dlg.reject();
    EXPECT_TRUE(SameValues(dlg.Values(), before));
}

}  // namespace
}  // namespace kestrel
