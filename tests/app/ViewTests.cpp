// The controller view with fake workers and dialogs: service start and stop, the log-in gate
// and the saved password, and the frame's reaction to the workers' reports.
#include <QAction>
#include <QLineEdit>
#include <QSettings>

#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "app/CKestrelView.h"
#include "app/CStatusForm.h"
#include "app/PasswordAge.h"
#include "app/PasswordChangeFlow.h"
#include "app/ServiceWorkers.h"
#include "identity/LocalIdentity.h"
#include "platform/MessageEvent.h"
#include "res/Cp932.h"
#include "res/Ids.h"
#include "settings/PasswordScrambler.h"
#include "settings/SettingsStore.h"
#include "tests/app/ViewTestSupport.h"
#include "tests/fakes/FakeFrameServices.h"
#include "tests/fakes/MemoryVault.h"
#include "tests/fakes/RecordingMessageBoxes.h"
#include "tests/support/Spin.h"
#include "ui/CMainFrame.h"
#include "ui/ProgramValues.h"

namespace kestrel {
namespace {

using test::RecordingMessageBoxes;
using test::SpinFor;
using test::ViewTest;

TEST_F(ViewTest, NothingEnabledRefusesWithCautionAndForgetsThePassword) {
    store->Write(key::MailCheck, 0);
    store->Write(key::Chating, 0);
    std::string plain = "pw", scrambled;
    EncodePassword(PasswordDirection::Scramble, plain, scrambled);
    store->Write(key::Password, scrambled);
    Build();
    ASSERT_EQ(view->Service().CurrentCredentials().password, "pw");
    view->Service().StartService();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].textUtf8(),
              "サービスを開始できません\n環境設定でネットワークサービスを何か有効にしてください");
    EXPECT_EQ(boxes.boxes[0].captionUtf8(), "注意");
    EXPECT_EQ(boxes.boxes[0].icon, BoxIcon::Stop);
    EXPECT_TRUE(view->Service().CurrentCredentials().password.empty());
    EXPECT_FALSE(view->ServiceRunning());
    EXPECT_FALSE(view->Service().FirstStart());
}

TEST_F(ViewTest, OnlyPeerChatStartsNothingQuietly) {
    store->Write(key::MailCheck, 0);
    Build();
    view->Service().StartService();
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(login.shown.empty());
    EXPECT_FALSE(view->ServiceRunning());
    frame->UpdateMenuStates();
    EXPECT_TRUE(frame->Action(ID_START_SERVICE)->isEnabled());
    EXPECT_FALSE(frame->Action(ID_STOP_SERVICE)->isEnabled());
}

TEST_F(ViewTest, FirstStartWithSavedPasswordSkipsTheDialog) {
    for (int beIcon : {0, 1}) {
        SCOPED_TRACE(beIcon);
        Reset();
        std::string plain = "secret", scrambled;
        ASSERT_TRUE(EncodePassword(PasswordDirection::Scramble, plain, scrambled));
        store->Write(key::Password, scrambled);
        store->Write(key::DefaultUserId, "taro");
        store->Write(key::BeIcon, beIcon);
        Build();
        values.iconise = beIcon;
        view->Service().StartService();
        EXPECT_TRUE(login.shown.empty());
        ASSERT_EQ(workers.log.verified.size(), 1u);
        EXPECT_EQ(workers.log.verified[0], (std::pair<std::string, std::string>{"taro", "secret"}));
        EXPECT_EQ(boxes.boxes.size(), beIcon ? 0u : 1u);
        if (!beIcon) {
            EXPECT_EQ(boxes.boxes[0].textUtf8(), "認証完了しました");
            EXPECT_EQ(boxes.boxes[0].captionUtf8(), "認証結果");
        }
        // Saved again after the success.
        std::string back, stored = store->GetString(key::Password);
        EncodePassword(PasswordDirection::Unscramble, back, stored);
        EXPECT_EQ(back, "secret");
        EXPECT_TRUE(view->ServiceRunning());
        ASSERT_EQ(workers.log.starts.size(), 1u);
        EXPECT_EQ(workers.log.starts[0], "your.pop.server:110 taro/secret 3");
    }
}

// With a keyring: its password wins at the first start, and whatever the log-in succeeded
// with is kept there and taken out of the file; a keyring that does not answer leaves the
// file's password working as before.
TEST_F(ViewTest, TheFirstStartTakesTheKeyringsPasswordAndMovesTheFilesThere) {
    struct Case {
        const char* name;
        bool answering;
        const char* inKeyring;  // null: none
        const char* inFile;     // null: none
        const char* verified;
        bool fileKeepsIt;
    };
    const Case cases[] = {
        {"keyring and file", true, "kr", "file", "kr", false},
        {"keyring only", true, "kr", nullptr, "kr", false},
        {"file only: moved", true, nullptr, "file", "file", false},
        {"keyring silent", false, nullptr, "file", "file", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        test::MemoryVault vault;
        vault.answering = c.answering;
        if (c.inKeyring) vault.items["taro@your.pop.server"] = c.inKeyring;
        if (c.inFile) {
            std::string plain = c.inFile, scrambled;
            ASSERT_TRUE(EncodePassword(PasswordDirection::Scramble, plain, scrambled));
            store->Write(key::Password, scrambled);
        }
        store->Write(key::DefaultUserId, "taro");
        keyring = &vault;
        Build();
        view->Service().StartService();
        EXPECT_TRUE(login.shown.empty());
        ASSERT_EQ(workers.log.verified.size(), 1u);
        EXPECT_EQ(workers.log.verified[0].second, c.verified);
        EXPECT_TRUE(view->ServiceRunning());
        ASSERT_EQ(workers.log.starts.size(), 1u);
        EXPECT_EQ(workers.log.starts[0],
                  "your.pop.server:110 taro/" + std::string(c.verified) + " 3");
        std::string back, stored = store->GetString(key::Password, "<absent>");
        if (c.fileKeepsIt) {
            EncodePassword(PasswordDirection::Unscramble, back, stored);
            EXPECT_EQ(back, c.verified);
            EXPECT_TRUE(vault.items.empty());
        } else {
            EXPECT_EQ(stored, "<absent>");
            EXPECT_EQ(vault.items["taro@your.pop.server"], c.verified);
        }
        keyring = nullptr;
    }
}

TEST_F(ViewTest, ALogInWithoutSavingForgetsTheKeyringsPasswordToo) {
    test::MemoryVault vault;
    vault.items["taro@your.pop.server"] = "kr";
    keyring = &vault;
    Build();
    // The proposed name has nothing saved, so the dialog asks; the answer says not to save.
    login.answers.push_back(LoginInput{"taro", "typed", 0});
    view->Service().StartService();
    ASSERT_EQ(login.shown.size(), 1u);
    ASSERT_TRUE(view->ServiceRunning());
    EXPECT_EQ(workers.log.verified.back().second, "typed");
    EXPECT_TRUE(vault.items.empty());
    EXPECT_EQ(store->GetString(key::Password, "<absent>"), "");
}

TEST_F(ViewTest, ASavedPasswordThatDoesNotReadBackWholeIsAskedFor) {
    std::string plain = "secret", scrambled;
    ASSERT_TRUE(EncodePassword(PasswordDirection::Scramble, plain, scrambled));
    for (const std::string& stored : {scrambled.substr(0, scrambled.size() - 2),
                                      scrambled.substr(0, 4) + "0f02" + scrambled.substr(8)}) {
        SCOPED_TRACE(stored);
        Reset();
        store->Write(key::Password, stored);
        Build();
        EXPECT_TRUE(view->Service().CurrentCredentials().password.empty());
        login.answers.push_back(std::nullopt);
        view->Service().StartService();
        EXPECT_EQ(login.shown.size(), 1u);
        EXPECT_TRUE(workers.log.verified.empty());
    }
}

TEST_F(ViewTest, CancelledLogInStartsNothingAndSaysNothing) {
    Build();
    login.answers.push_back(std::nullopt);
    view->Service().StartService();
    ASSERT_EQ(login.shown.size(), 1u);
    EXPECT_EQ(login.shown[0].user, "your_name");
    EXPECT_TRUE(login.shown[0].password.empty());
    EXPECT_TRUE(workers.log.verified.empty());
    EXPECT_EQ(workers.log.made, 0);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_FALSE(view->ServiceRunning());
}

TEST_F(ViewTest, LogInGateGuardsMailAndIdentButNotNews) {
    struct Case {
        int mail, ident, news;
        bool asksLogIn;
    };
    for (const Case c : {Case{1, 0, 0, true}, Case{0, 1, 0, true}, Case{0, 0, 1, false}}) {
        SCOPED_TRACE(::testing::Message() << c.mail << c.ident << c.news);
        Reset();
        store->Write(key::MailCheck, c.mail);
        store->Write(key::Identify, c.ident);
        store->Write(key::NewsCheck, c.news);
        login.answers.push_back(std::nullopt);
        Build();
        view->Service().StartService();
        EXPECT_EQ(login.shown.size(), c.asksLogIn ? 1u : 0u);
    }
}

TEST_F(ViewTest, NewsStartFailureNamesTheReasonAndStopsTheStart) {
    struct Case {
        int result;
        const char* reason;
    } cases[] = {{-1, "(ニュースチェック用ファイルがありません)"},
                 {-2, "(タイマ設定失敗)"},
                 {-3, "(タイマ値が小さすぎます)"},
                 {-9, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result);
        Reset();
        store->Write(key::NewsCheck, 1);
        store->Write(key::Identify, 1);
        Build();
        workers.log.newsResult = c.result;
        login.answers.push_back(LoginInput{"u", "p", 0});
        view->Service().StartService();
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].textUtf8(),
                  std::string("ニュースチェックのための初期化に失敗しました。\n") + c.reason);
        EXPECT_EQ(boxes.boxes[0].captionUtf8(), "初期化失敗");
        EXPECT_EQ(boxes.boxes[0].icon, BoxIcon::Stop);
        EXPECT_EQ(workers.log.newsAlive, 0);
        EXPECT_EQ(workers.log.made, 0);  // no mail worker after a news failure
        EXPECT_FALSE(view->ServiceRunning());
        EXPECT_EQ(view->Form().StatusIcon(), IDI_STOPPED);
    }
}

TEST_F(ViewTest, NewsRunsWithTheLoadedIntervalAndStopsWithTheService) {
    store->Write(key::NewsCheck, 1);
    store->Write(key::MailCheck, 0);
    store->Write(key::NewsTimer, 1);
    store->Write(key::NNTPServer, "news.local");
    Build();
    view->Service().StartService();
    EXPECT_TRUE(login.shown.empty());
    ASSERT_EQ(workers.log.newsStarts.size(), 1u);
    EXPECT_EQ(workers.log.newsStarts[0], "news.local:119 3");
    EXPECT_TRUE(view->ServiceRunning());
    EXPECT_EQ(workers.log.newsAlive, 1);
    // A second start while running changes nothing.
    view->Service().StartService();
    EXPECT_EQ(workers.log.newsStarts.size(), 1u);
    view->Service().StopService();
    EXPECT_EQ(workers.log.newsAlive, 0);
}

TEST_F(ViewTest, IdentStartsWithTheLoggedInNameAndItsFailureLetsMailStart) {
    store->Write(key::Identify, 1);
    store->Write(key::AUTHPort, 1113);
    Build();
    workers.log.identResult = false;
    login.answers.push_back(LoginInput{"hanako", "pw", 0});
    view->Service().StartService();
    ASSERT_EQ(workers.log.identStarts.size(), 1u);
    EXPECT_EQ(workers.log.identStarts[0], "1113 hanako");
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].textUtf8(),
              "身元確認のための初期化に失敗しました\nKestrelを再起動してください");
    EXPECT_EQ(boxes.boxes[0].captionUtf8(), "初期化");
    EXPECT_EQ(workers.log.identAlive, 0);
    EXPECT_TRUE(view->Service().MailRunning());
    EXPECT_TRUE(view->ServiceRunning());

    view->Service().StopService();
    workers.log.identResult = true;
    login.answers.push_back(LoginInput{"hanako", "pw", 0});
    view->Service().StartService();
    EXPECT_TRUE(view->Service().IdentRunning());
    EXPECT_EQ(workers.log.identAlive, 1);
    view->Service().StopService();
    EXPECT_EQ(workers.log.identAlive, 0);
}

TEST_F(ViewTest, OldPasswordStopsTheFirstStartOnly) {
    store->Write(key::LastTime, "2001.05.19.14.07");
    std::string plain = "pw", scrambled;
    EncodePassword(PasswordDirection::Scramble, plain, scrambled);
    store->Write(key::Password, scrambled);
    Build();
    view->Service().StartService();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].captionUtf8(), "警告");
    EXPECT_TRUE(login.shown.empty());
    EXPECT_TRUE(view->Service().CurrentCredentials().password.empty());
    EXPECT_FALSE(view->ServiceRunning());
    // Started by hand: no second reminder, and the dialog asks for the password.
    login.answers.push_back(LoginInput{"u", "p", 0});
    view->Service().StartService();
    EXPECT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(login.shown.size(), 1u);
    EXPECT_TRUE(view->ServiceRunning());
}

TEST_F(ViewTest, PasswordChangeGoesToThePoppassdPortOnlyWhileStopped) {
    store->Write(key::PSWDPort, 1106);
    store->Write(key::POPServer, "mail.local");
    Build();
    login.answers.push_back(LoginInput{"taro", "old", 0});
    view->Service().StartService();
    ASSERT_TRUE(view->ServiceRunning());
    view->OnCommand(ID_CHANGE_PASSWORD);
    EXPECT_TRUE(passwords.shown.empty());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].textUtf8(), "サービス停止後、パスワード変更してください");

    view->Service().StopService();
    passwords.answer = PasswordChangeInput{"taro", "old", "new1", "new1"};
    view->OnCommand(ID_CHANGE_PASSWORD);
    ASSERT_EQ(passwords.shown.size(), 1u);
    EXPECT_EQ(passwords.shown[0].user, "taro");
    ASSERT_EQ(workers.log.changes.size(), 1u);
    EXPECT_EQ(workers.log.changes[0], "mail.local:1106 taro old->new1");
    EXPECT_EQ(boxes.boxes.back().textUtf8(), "パスワードを変更しました");
    EXPECT_FALSE(store->GetString(key::LastTime).empty());
}

// The log-in and the password change wait for their server with the events served, so
// whatever arrives meanwhile (a tray command, the window being closed) finds a step under way:
// no second step starts, and the program does not go away under the one that runs.
TEST_F(ViewTest, AServerStepHoldsOffASecondStepAndTheExit) {
    struct Step {
        const char* name;
        std::function<void()> run;
    };
    const Step steps[] = {
        {"log-in",
         [this] {
             login.answers.push_back(LoginInput{"taro", "pw", 0});
             view->OnCommand(ID_START_SERVICE);
         }},
        {"password change",
         [this] {
             passwords.answer = PasswordChangeInput{"taro", "old", "new1", "new1"};
             view->OnCommand(ID_CHANGE_PASSWORD);
         }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        Reset();
        store->Write(key::MailCheck, 1);
        Build();
        frame->show();
        int calls = 0;
        bool heldOff = false;
        workers.duringServerStep = [&] {
            if (++calls > 1) return;  // a second step: the test fails below
            login.answers.push_back(LoginInput{"hanako", "pw2", 0});
            passwords.answer = PasswordChangeInput{"hanako", "a", "b", "b"};
            view->OnCommand(ID_START_SERVICE);
            view->OnCommand(ID_CHANGE_PASSWORD);
            frame->Exit();
            frame->close();
            heldOff = view->LoginInProgress() && frame->isVisible();
        };
        step.run();
        EXPECT_EQ(calls, 1);
        EXPECT_TRUE(heldOff);
        EXPECT_TRUE(frame->isVisible());
        EXPECT_EQ(workers.log.verified.size() + workers.log.changes.size(), 1u);
        EXPECT_FALSE(view->LoginInProgress());
        workers.duringServerStep = nullptr;
    }
}

TEST_F(ViewTest, SaveFlagOffDropsTheSavedPassword) {
    store->Write(key::Password, "0000");
    Build();
    login.answers.push_back(LoginInput{"hanako", "pw1", 0});
    view->Service().StartService();
    EXPECT_TRUE(view->ServiceRunning());
    EXPECT_EQ(store->GetString(key::Password), "");
    EXPECT_EQ(view->Service().CurrentCredentials().user, "hanako");
    // The typed name is not the new default.
    EXPECT_EQ(store->GetString(key::DefaultUserId), "your_name");
}

TEST_F(ViewTest, StopThenStartAsksAgainWithTheLastName) {
    Build();
    login.answers.push_back(LoginInput{"hanako", "pw1", 1});
    view->Service().StartService();
    ASSERT_TRUE(view->ServiceRunning());
    EXPECT_EQ(workers.log.alive, 1);
    EXPECT_EQ(view->Form().StatusIcon(), IDI_RUNNING);

    view->OnCommand(ID_STOP_SERVICE);
    EXPECT_FALSE(view->ServiceRunning());
    EXPECT_EQ(workers.log.alive, 0);
    EXPECT_EQ(view->Form().StatusIcon(), IDI_STOPPED);

    login.answers.push_back(std::nullopt);
    view->OnCommand(ID_START_SERVICE);
    ASSERT_EQ(login.shown.size(), 2u);
    EXPECT_EQ(login.shown[1].user, "hanako");
    EXPECT_TRUE(login.shown[1].password.empty());
    EXPECT_FALSE(view->ServiceRunning());
}

TEST_F(ViewTest, MailWorkerFailureIsReportedButTheServiceRuns) {
    Build();
    workers.log.startResult = false;
    login.answers.push_back(LoginInput{"u", "p", 0});
    view->Service().StartService();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].textUtf8(), "メールチェックのための初期化に失敗しました");
    EXPECT_EQ(boxes.boxes[0].captionUtf8(), "初期化");
    EXPECT_EQ(workers.log.alive, 0);
    EXPECT_TRUE(view->ServiceRunning());
    EXPECT_FALSE(view->Service().MailRunning());
}

TEST_F(ViewTest, ReportsReachTheFrameAsIconsSoundsAndPopups) {
    Build();
    values.sound = 1;
    values.soundFile = "/tmp/ring.wav";
    login.answers.push_back(LoginInput{"u", "p", 0});
    view->Service().StartService();
    SpinFor(20);
    EXPECT_EQ(frame->CurrentIcon(), IDI_RUNNING);

    PostMessage(frame.get(), WM_UNREAD_MAIL, 3);
    PostMessage(frame.get(), WM_UNREAD_MAIL, 3);
    SpinFor(20);
    ASSERT_EQ(sound.played.size(), 1u);
    ASSERT_EQ(notices.shown.size(), 1u);
    EXPECT_EQ(notices.shown[0].kind, 'M');
    EXPECT_EQ(cp932ToUtf8(notices.shown[0].mailText),
              "新しいメールを受信しました\n(未読メールは3件です)");
    // The popup closed: back to idle, and the next report rings again.
    EXPECT_EQ(frame->CurrentIcon(), IDI_RUNNING);
    PostMessage(frame.get(), WM_UNREAD_MAIL, 3);
    SpinFor(20);
    EXPECT_EQ(sound.played.size(), 2u);
    EXPECT_EQ(notices.shown.size(), 2u);
}

TEST_F(ViewTest, ShowNoticeIsIgnoredWhileOneIsOpen) {
    Build();
    frame->OnUnreadMail(2);
    values.noticeOpen = 1;
    SpinFor(20);
    EXPECT_TRUE(notices.shown.empty());
    EXPECT_EQ(frame->CurrentIcon(), IDI_MAIL);
    values.noticeOpen = 0;
    frame->ShowNotice();
    EXPECT_EQ(notices.shown.size(), 1u);
    EXPECT_EQ(frame->CurrentIcon(), IDI_STOPPED);
}

TEST(StatusForm, ReaderNamesOfEachSide) {
    // The desktop value of one side is just another program on the other.
    const struct {
        int kind;
        const char* mail;
        const char* news;
    } cases[] = {{0, "NetScape", "NetScape"}, {1, "AL-Mail", "WinVN"},  {2, "電信八号", "Others"},
                 {3, "Others", "Desktop"},    {4, "Desktop", "Others"}, {7, "Others", "Others"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        EXPECT_EQ(cp932ToUtf8(MailReaderName(c.kind)), c.mail);
        EXPECT_EQ(cp932ToUtf8(NewsReaderName(c.kind)), c.news);
    }
}

TEST_F(ViewTest, FormShowsReadersServersAndSwitches) {
    store->Write(key::MailReader, 7);
    store->Write(key::NewsReader, 2);
    store->Write(key::POPServer, utf8ToCp932("メール.example"));
    Build();
    EXPECT_EQ(view->Form().Field(1004)->text(), QStringLiteral("Others"));
    EXPECT_EQ(view->Form().Field(1000)->text(), QStringLiteral("Others"));
    EXPECT_EQ(view->Form().Field(1005)->text(), QString::fromUtf8("メール.example"));
    EXPECT_EQ(view->Form().Field(1003)->text(), QStringLiteral("ON"));
    EXPECT_EQ(view->Form().Field(1002)->text(), QStringLiteral("OFF"));
    EXPECT_EQ(view->Form().StatusIcon(), IDI_STOPPED);
    // A check result never touches the form's texts.
    frame->OnUnreadMail(5);
    EXPECT_EQ(view->Form().Field(1003)->text(), QStringLiteral("ON"));
}

TEST_F(ViewTest, ClosingTheWindowKeepsTheProgramRunning) {
    Build();
    frame->show();
    frame->close();
    SpinFor(10);
    // The offscreen platform has no notification area: the window stays reachable.
    ASSERT_FALSE(frame->TrayAvailable());
    EXPECT_TRUE(frame->isVisible());
    EXPECT_TRUE(frame->MainWindowVisible());
}

TEST_F(ViewTest, TheFrameValuesAreTheViewsSettings) {
    struct Case {
        int sound, beIcon, bePopup;
        const char* soundFile;
    } cases[] = {{0, 1, 0, "a.wav"}, {1, 0, 1, "b.wav"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.soundFile);
        Reset();
        store->Write(key::Sound, c.sound);
        store->Write(key::BeIcon, c.beIcon);
        store->Write(key::BePopup, c.bePopup);
        store->Write(key::SoundFile, std::string(c.soundFile));
        Build();
        EXPECT_EQ(values.sound, c.sound);
        EXPECT_EQ(values.iconise, c.beIcon);
        EXPECT_EQ(values.popup, c.bePopup);
        EXPECT_EQ(values.soundFile, c.soundFile);
    }
}

TEST_F(ViewTest, ThePasswordAgeIsTheViewsClockLessTheLastChange) {
    const std::time_t changed = 1700000000;
    for (int days : {6, 7}) {
        SCOPED_TRACE(days);
        Reset();
        store->Write(key::LastTime, FormatChangeTime(changed));
        store->Write(key::PasswdCheck, 1);
        store->Write(key::CheckDays, 7);
        clock.now = changed + days * 86400 + 60;
        Build();
        login.answers.push_back(std::nullopt);
        view->Service().StartService();
        if (days < 7) {
            EXPECT_TRUE(boxes.boxes.empty());
            EXPECT_EQ(login.shown.size(), 1u);  // the start went on to the log-in
        } else {
            ASSERT_EQ(boxes.boxes.size(), 1u);
            EXPECT_EQ(boxes.boxes[0].captionUtf8(), "警告");
            EXPECT_TRUE(login.shown.empty());
        }
    }
}

}  // namespace
}  // namespace kestrel
