#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "app/CPasswdChangeDlg.h"
#include "app/PasswordAge.h"
#include "app/PasswordChangeFlow.h"
#include "res/Cp932.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "tests/fakes/FakeClock.h"
#include "tests/fakes/RecordingMessageBoxes.h"
#include "tests/fakes/ScriptedPasswordDialog.h"
#include "tests/settings/SettingsTestSupport.h"

namespace kestrel {
namespace {

using test::RecordingMessageBoxes;
using test::Sj;

std::time_t Local(int year, int month, int day, int hour, int minute) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

constexpr std::time_t kDay = 86400;

TEST(ChangeTime, IsKeptToTheMinuteInTheStoredForm) {
    const std::time_t t = Local(2001, 5, 19, 14, 7);
    EXPECT_EQ(FormatChangeTime(t), "2001.05.19.14.07");
    EXPECT_EQ(FormatChangeTime(t + 59), "2001.05.19.14.07");
    EXPECT_EQ(ParseChangeTime(FormatChangeTime(t + 59)), t);
}

TEST(ChangeTime, MissingAndDigitlessPartsReadAsZero) {
    struct Case {
        const char* text;
        std::time_t expected;
    } cases[] = {
        {"2001.05.19.14.07", Local(2001, 5, 19, 14, 7)},
        {"2001.5.19.14.7", Local(2001, 5, 19, 14, 7)},
        {"2001.05.19", Local(2001, 5, 19, 0, 0)},
        {"2001.05.19.14.07.33", Local(2001, 5, 19, 14, 7)},
        {"2001y.05m.19d.14h.07", Local(2001, 5, 19, 14, 7)},
        {"2001.05..14.07", Local(2001, 5, 0, 14, 7)},  // day 0: the last of April
        {"2001.-5.19.14.07", Local(2001, 0, 19, 14, 7)},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseChangeTime(c.text), c.expected) << c.text;
}

class PasswordAgeTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ClearSettingsFile();
        store = std::make_unique<SettingsStore>();
    }
    std::string LastTime() const { return store->GetString(key::LastTime); }

    std::unique_ptr<SettingsStore> store;
    RecordingMessageBoxes boxes;
};

TEST_F(PasswordAgeTest, TheFirstRunRecordsTheTimeAndNeverReminds) {
    const std::time_t now = Local(2024, 3, 1, 9, 30);
    for (const auto& [passwdCheck, checkDays] : {std::pair{1, 7}, {1, 0}, {0, 7}}) {
        SetUp();
        EXPECT_TRUE(CheckPasswordAge(*store, passwdCheck, checkDays, now, boxes));
        EXPECT_EQ(LastTime(), "2024.03.01.09.30");
        EXPECT_EQ(SettingsStore().GetString(key::LastTime), "2024.03.01.09.30");  // on disk
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(PasswordAgeTest, RemindsFromExactlyCheckDaysTimesTwentyFourHours) {
    store->Write(key::LastTime, std::string("2001.05.19.14.07"));
    const std::time_t changed = Local(2001, 5, 19, 14, 7);

    EXPECT_TRUE(CheckPasswordAge(*store, 1, 7, changed + 7 * kDay - 1, boxes));
    EXPECT_TRUE(boxes.boxes.empty());

    EXPECT_FALSE(CheckPasswordAge(*store, 1, 7, changed + 7 * kDay, boxes));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].textUtf8(),
              "パスワードを 7日以上の間変更していません。\n"
              "安全性確保のためパスワードの変更をお願いします。");
    EXPECT_EQ(boxes.boxes[0].captionUtf8(), "警告");
    EXPECT_EQ(boxes.boxes[0].icon, BoxIcon::Warning);
    EXPECT_EQ(boxes.boxes[0].buttons, BoxButtons::Ok);

    // The box names the whole days the password has aged, not the limit.
    EXPECT_FALSE(CheckPasswordAge(*store, 1, 7, changed + 400 * kDay + 5, boxes));
    EXPECT_EQ(boxes.boxes.back().text.find(Sj("パスワードを 400日以上")), 0u);
    EXPECT_EQ(LastTime(), "2001.05.19.14.07");  // a reminder changes nothing
}

TEST_F(PasswordAgeTest, CheckDaysZeroRemindsAtEveryFirstStart) {
    const std::time_t now = Local(2024, 3, 1, 9, 30) + 20;
    store->Write(key::LastTime, FormatChangeTime(now));
    EXPECT_FALSE(CheckPasswordAge(*store, 1, 0, now, boxes));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text.find(Sj("パスワードを 0日以上")), 0u);
}

TEST_F(PasswordAgeTest, NoReminderWhenSwitchedOffOrWhenTheTimeLiesAhead) {
    const std::time_t now = Local(2024, 3, 1, 9, 30);
    store->Write(key::LastTime, std::string("2001.05.19.14.07"));
    EXPECT_TRUE(CheckPasswordAge(*store, 0, 7, now, boxes));
    EXPECT_EQ(LastTime(), "2001.05.19.14.07");

    store->Write(key::LastTime, std::string("2030.01.01.00.00"));
    EXPECT_TRUE(CheckPasswordAge(*store, 1, 0, now, boxes));
    EXPECT_TRUE(boxes.boxes.empty());
}

class PasswordChangeFlowTest : public PasswordAgeTest {
protected:
    bool Run(bool running = false) {
        return ChangePassword(
            running, "alice", dialog,
            [this](const std::string& user, const std::string& current,
                   const std::string& newPassword) {
                calls.push_back({user, current, newPassword});
                clock.now = kAfter;  // the server took its time
                return serverAccepts;
            },
            *store, boxes, clock);
    }
    void ExpectOneBox(const char* text, const char* caption, BoxIcon icon) {
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].textUtf8(), text);
        EXPECT_EQ(boxes.boxes[0].captionUtf8(), caption);
        EXPECT_EQ(boxes.boxes[0].icon, icon);
        EXPECT_EQ(boxes.boxes[0].buttons, BoxButtons::Ok);
    }

    const std::time_t kBefore = Local(2024, 3, 1, 9, 30);
    const std::time_t kAfter = Local(2024, 3, 1, 9, 32);
    test::ScriptedPasswordDialog dialog;
    test::FakeClock clock{kBefore};
    bool serverAccepts = true;
    std::vector<std::vector<std::string>> calls;
};

TEST_F(PasswordChangeFlowTest, IsRefusedWhileTheServiceRuns) {
    dialog.answer = PasswordChangeInput{"alice", "old", "new", "new"};
    EXPECT_FALSE(Run(true));
    ExpectOneBox("サービス停止後、パスワード変更してください", "注意", BoxIcon::Stop);
    EXPECT_TRUE(dialog.shown.empty());
    EXPECT_TRUE(calls.empty());
}

TEST_F(PasswordChangeFlowTest, ProposesTheLogInNameAndEndsQuietlyOnCancel) {
    EXPECT_FALSE(Run());
    ASSERT_EQ(dialog.shown.size(), 1u);
    EXPECT_EQ(dialog.shown[0].user, "alice");
    EXPECT_TRUE(dialog.shown[0].currentPassword.empty());
    EXPECT_TRUE(dialog.shown[0].newPassword.empty());
    EXPECT_TRUE(dialog.shown[0].newPasswordAgain.empty());
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(calls.empty());
}

TEST_F(PasswordChangeFlowTest, TheChecksRunInOrderAndStopTheChange) {
    struct Case {
        PasswordChangeInput input;
        const char* text;
        const char* caption;
    } cases[] = {
        {{"", "", "", ""}, "ユーザ名を入力してください", "入力エラー"},
        {{"alice", "", "new", "other"}, "パスワードを入力してください", "入力エラー"},
        {{"alice", "old", "", ""}, "パスワードを入力してください", "入力エラー"},
        {{"alice", "old", "Secret", "secret"},
         "新パスワードと再入力したパスワードが違います",
         "新パスワードの不一致"},
        {{"alice", "old", "old", "Old"},
         "新パスワードと再入力したパスワードが違います",
         "新パスワードの不一致"},
        {{"alice", "old", "old", "old"},
         "新パスワードは現パスワードと変えてください",
         "新パスワードのエラー"},
    };
    for (const auto& c : cases) {
        boxes.boxes.clear();
        dialog.answer = c.input;
        EXPECT_FALSE(Run());
        ExpectOneBox(c.text, c.caption, BoxIcon::Stop);
    }
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(LastTime(), "");
}

TEST_F(PasswordChangeFlowTest, AConfirmedChangeRecordsItsTimeAndResetsTheAge) {
    store->Write(key::LastTime, std::string("2000.01.01.00.00"));
    dialog.answer = PasswordChangeInput{"bob", "Old", "New", "New"};
    EXPECT_TRUE(Run());
    EXPECT_EQ(calls, (std::vector<std::vector<std::string>>{{"bob", "Old", "New"}}));
    ExpectOneBox("パスワードを変更しました", "変更結果", BoxIcon::Information);
    EXPECT_EQ(SettingsStore().GetString(key::LastTime), FormatChangeTime(kAfter));

    boxes.boxes.clear();
    EXPECT_TRUE(CheckPasswordAge(*store, 1, 7, kAfter + 3 * kDay, boxes));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(PasswordChangeFlowTest, ARefusedChangeIsReportedAndRecordsNothing) {
    store->Write(key::LastTime, std::string("2000.01.01.00.00"));
    serverAccepts = false;
    dialog.answer = PasswordChangeInput{"alice", "old", "new", "new"};
    EXPECT_FALSE(Run());
    EXPECT_EQ(calls.size(), 1u);
    ExpectOneBox("パスワード変更失敗しました", "変更結果", BoxIcon::Stop);
    EXPECT_EQ(LastTime(), "2000.01.01.00.00");
}

TEST(PasswdChangeDlg, HidesThePasswordsAndHandsBackWhatWasTyped) {
    CPasswdChangeDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("パスワード変更"));
    EXPECT_EQ(dlg.UserEdit()->echoMode(), QLineEdit::Normal);
    for (QLineEdit* edit : {dlg.CurrentEdit(), dlg.NewEdit(), dlg.NewAgainEdit()}) {
        EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    }
    EXPECT_EQ(dlg.findChild<QLineEdit*>(QStringLiteral("edit1037")), dlg.UserEdit());
    EXPECT_EQ(dlg.findChild<QLineEdit*>(QStringLiteral("edit1004")), dlg.NewAgainEdit());
    bool noteShown = false;
    for (QLabel* label : dlg.findChildren<QLabel*>()) {
        noteShown |= label->text().contains(QStringLiteral("(タイムアウトは2分30秒です)"));
    }
    EXPECT_TRUE(noteShown);

    // Through the flow's interface: the user name comes in, the typed fields go out as CP932.
    QtPasswordChangeDialog adapter(nullptr);
    QTimer::singleShot(0, [] {
        auto* shown = qobject_cast<CPasswdChangeDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->UserEdit()->text(), QStringLiteral("山田"));
        shown->CurrentEdit()->setText(QStringLiteral("旧パス"));
        shown->NewEdit()->setText(QStringLiteral("new"));
        shown->NewAgainEdit()->setText(QStringLiteral("new"));
        shown->accept();
    });
    PasswordChangeInput input{Sj("山田"), "", "", ""};
    ASSERT_TRUE(adapter.Run(input));
    EXPECT_EQ(input.user, Sj("山田"));
    EXPECT_EQ(input.currentPassword, Sj("旧パス"));
    EXPECT_EQ(input.newPassword, "new");
    EXPECT_EQ(input.newPasswordAgain, "new");
}

}  // namespace
}  // namespace kestrel
