// The controller view with fake workers and dialogs: service start and stop, the log-in gate
// and the saved password, and the frame's reaction to the workers' reports.
#include <QAction>
#include <QLineEdit>
#include <QSettings>

#include <gtest/gtest.h>

#include <deque>

#include "app/CKestrelView.h"
#include "app/CStatusForm.h"
#include "app/PasswordChangeFlow.h"
#include "app/PasswordScrambler.h"
#include "app/ServiceWorkers.h"
#include "app/SettingsStore.h"
#include "identity/LocalIdentity.h"
#include "platform/MessageEvent.h"
#include "res/Cp932.h"
#include "res/Ids.h"
#include "tests/fakes/FakeFrameServices.h"
#include "tests/fakes/RecordingMessageBoxes.h"
#include "tests/support/Spin.h"
#include "ui/CMainFrame.h"
#include "ui/ProgramValues.h"

namespace kestrel {
namespace {

using test::RecordingMessageBoxes;
using test::SpinFor;

struct WorkerLog {
    int made = 0;
    int alive = 0;
    bool startResult = true;
    std::vector<std::string> starts;  // "server:port user/password interval"
    std::vector<std::pair<std::string, std::string>> verified;
    std::deque<bool> verdicts;
    bool identResult = true;
    int identAlive = 0;
    std::vector<std::string> identStarts;
    std::vector<std::string> changes;
    int newsResult = 1;
    int newsAlive = 0;
    std::vector<std::string> newsStarts;
};

class FakeMail final : public MailWorker {
public:
    explicit FakeMail(WorkerLog& log) : m_log(log) { ++m_log.alive; }
    ~FakeMail() override { --m_log.alive; }
    bool Start(const std::string& server, int port, const std::string& user,
               const std::string& password, unsigned interval) override {
        m_log.starts.push_back(server + ":" + std::to_string(port) + " " + user + "/" + password +
                               " " + std::to_string(interval));
        return m_log.startResult;
    }
    bool SetInterval(unsigned) override { return true; }

private:
    WorkerLog& m_log;
};

class FakeNews final : public NewsWorker {
public:
    explicit FakeNews(WorkerLog& log) : m_log(log) { ++m_log.newsAlive; }
    ~FakeNews() override { --m_log.newsAlive; }
    int InitCheck(const std::string& server, int port, unsigned interval) override {
        m_log.newsStarts.push_back(server + ":" + std::to_string(port) + " " +
                                   std::to_string(interval));
        return m_log.newsResult;
    }
    int ChangeInterval(unsigned) override { return 1; }

private:
    WorkerLog& m_log;
};

class FakeIdent final : public IdentWorker {
public:
    explicit FakeIdent(WorkerLog& log) : m_log(log) { ++m_log.identAlive; }
    ~FakeIdent() override { --m_log.identAlive; }
    bool Start(int port, const std::string& user) override {
        m_log.identStarts.push_back(std::to_string(port) + " " + user);
        return m_log.identResult;
    }

private:
    WorkerLog& m_log;
};

class FakeWorkers final : public WorkerFactory {
public:
    std::unique_ptr<IdentWorker> MakeIdentWorker() override {
        return std::make_unique<FakeIdent>(log);
    }
    bool ChangePassword(const std::string& server, int port, const std::string& user,
                        const std::string& current, const std::string& next) override {
        log.changes.push_back(server + ":" + std::to_string(port) + " " + user + " " + current +
                              "->" + next);
        return true;
    }
    std::unique_ptr<NewsWorker> MakeNewsWorker() override {
        return std::make_unique<FakeNews>(log);
    }
    std::unique_ptr<MailWorker> MakeMailWorker() override {
        ++log.made;
        return std::make_unique<FakeMail>(log);
    }
    bool Verify(const std::string&, int, const std::string& user,
                const std::string& password) override {
        log.verified.emplace_back(user, password);
        if (log.verdicts.empty()) return true;
        const bool v = log.verdicts.front();
        log.verdicts.pop_front();
        return v;
    }
    WorkerLog log;
};

class ScriptedLogin final : public LoginDialog {
public:
    bool Run(LoginInput& input) override {
        shown.push_back(input);
        if (answers.empty()) return false;
        auto a = answers.front();
        answers.pop_front();
        if (!a.has_value()) return false;
        input = *a;
        return true;
    }
    std::vector<LoginInput> shown;
    std::deque<std::optional<LoginInput>> answers;
};

class ScriptedPasswordDialog final : public PasswordChangeDialog {
public:
    bool Run(PasswordChangeInput& input) override {
        shown.push_back(input);
        if (!answer) return false;
        input = *answer;
        return true;
    }
    std::vector<PasswordChangeInput> shown;
    std::optional<PasswordChangeInput> answer;
};

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }

    // Every test starts from an empty store and no window.
    void Reset() {
        if (frame) delete frame->takeCentralWidget();
        frame.reset();
        store.reset();
        {
            QSettings raw(QStringLiteral("Harrowgate"), QStringLiteral("Kestrel"));
            raw.clear();
            raw.sync();
        }
        store = std::make_unique<SettingsStore>();
        boxes.boxes.clear();
        workers.log = {};
        login = ScriptedLogin();
    }

    void Build() {
        values.iconise = 0;
        frame = std::make_unique<CMainFrame>(values, notices, sound);
        view = new CKestrelView(
            ViewContext{values, identity, *store, boxes, *frame, workers, login, passwords});
        frame->SetClient(view);
        frame->SetForm(view);
        SpinFor(1);
    }
    void TearDown() override {
        if (frame) delete frame->takeCentralWidget();
    }

    ProgramValues values;
    LocalIdentity identity;
    std::unique_ptr<SettingsStore> store;
    RecordingMessageBoxes boxes;
    test::RecordingNoticePresenter notices;
    test::RecordingSoundPlayer sound;
    FakeWorkers workers;
    ScriptedLogin login;
    ScriptedPasswordDialog passwords;
    std::unique_ptr<CMainFrame> frame;
    CKestrelView* view = nullptr;
};

TEST_F(ViewTest, NothingEnabledRefusesWithCautionAndForgetsThePassword) {
    store->Write(key::MailCheck, 0);
    store->Write(key::Chating, 0);
    std::string plain = "pw", scrambled;
    EncodePassword(PasswordDirection::Scramble, plain, scrambled);
    store->Write(key::Password, scrambled);
    Build();
    ASSERT_EQ(view->CurrentCredentials().password, "pw");
    view->StartService();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].textUtf8(),
              "サービスを開始できません\n環境設定でネットワークサービスを何か有効にしてください");
    EXPECT_EQ(boxes.boxes[0].captionUtf8(), "注意");
    EXPECT_EQ(boxes.boxes[0].icon, BoxIcon::Stop);
    EXPECT_TRUE(view->CurrentCredentials().password.empty());
    EXPECT_FALSE(view->ServiceRunning());
    EXPECT_FALSE(view->FirstStart());
}

TEST_F(ViewTest, OnlyPeerChatStartsNothingQuietly) {
    store->Write(key::MailCheck, 0);
    Build();
    view->StartService();
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
        view->StartService();
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

TEST_F(ViewTest, ASavedPasswordThatDoesNotReadBackWholeIsAskedFor) {
    std::string plain = "secret", scrambled;
    ASSERT_TRUE(EncodePassword(PasswordDirection::Scramble, plain, scrambled));
    for (const std::string& stored : {scrambled.substr(0, scrambled.size() - 2),
                                      scrambled.substr(0, 4) + "0f02" + scrambled.substr(8)}) {
        SCOPED_TRACE(stored);
        Reset();
        store->Write(key::Password, stored);
        Build();
        EXPECT_TRUE(view->CurrentCredentials().password.empty());
        login.answers.push_back(std::nullopt);
        view->StartService();
        EXPECT_EQ(login.shown.size(), 1u);
        EXPECT_TRUE(workers.log.verified.empty());
    }
}

TEST_F(ViewTest, CancelledLogInStartsNothingAndSaysNothing) {
    Build();
    login.answers.push_back(std::nullopt);
    view->StartService();
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
        view->StartService();
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
        view->StartService();
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
    view->StartService();
    EXPECT_TRUE(login.shown.empty());
    ASSERT_EQ(workers.log.newsStarts.size(), 1u);
    EXPECT_EQ(workers.log.newsStarts[0], "news.local:119 3");
    EXPECT_TRUE(view->ServiceRunning());
    EXPECT_EQ(workers.log.newsAlive, 1);
    // A second start while running changes nothing.
    view->StartService();
    EXPECT_EQ(workers.log.newsStarts.size(), 1u);
    view->StopService();
    EXPECT_EQ(workers.log.newsAlive, 0);
}

TEST_F(ViewTest, IdentStartsWithTheLoggedInNameAndItsFailureLetsMailStart) {
    store->Write(key::Identify, 1);
    store->Write(key::AUTHPort, 1113);
    Build();
    workers.log.identResult = false;
    login.answers.push_back(LoginInput{"hanako", "pw", 0});
    view->StartService();
    ASSERT_EQ(workers.log.identStarts.size(), 1u);
    EXPECT_EQ(workers.log.identStarts[0], "1113 hanako");
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].textUtf8(),
              "身元確認のための初期化に失敗しました\nKestrelを再起動してください");
    EXPECT_EQ(boxes.boxes[0].captionUtf8(), "初期化");
    EXPECT_EQ(workers.log.identAlive, 0);
    EXPECT_TRUE(view->MailRunning());
    EXPECT_TRUE(view->ServiceRunning());

    view->StopService();
    workers.log.identResult = true;
    login.answers.push_back(LoginInput{"hanako", "pw", 0});
    view->StartService();
    EXPECT_TRUE(view->IdentRunning());
    EXPECT_EQ(workers.log.identAlive, 1);
    view->StopService();
    EXPECT_EQ(workers.log.identAlive, 0);
}

TEST_F(ViewTest, OldPasswordStopsTheFirstStartOnly) {
    store->Write(key::LastTime, "2001.05.19.14.07");
    std::string plain = "pw", scrambled;
    EncodePassword(PasswordDirection::Scramble, plain, scrambled);
    store->Write(key::Password, scrambled);
    Build();
    view->StartService();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].captionUtf8(), "警告");
    EXPECT_TRUE(login.shown.empty());
    EXPECT_TRUE(view->CurrentCredentials().password.empty());
    EXPECT_FALSE(view->ServiceRunning());
    // Started by hand: no second reminder, and the dialog asks for the password.
    login.answers.push_back(LoginInput{"u", "p", 0});
    view->StartService();
    EXPECT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(login.shown.size(), 1u);
    EXPECT_TRUE(view->ServiceRunning());
}

TEST_F(ViewTest, PasswordChangeGoesToThePoppassdPortOnlyWhileStopped) {
    store->Write(key::PSWDPort, 1106);
    store->Write(key::POPServer, "mail.local");
    Build();
    login.answers.push_back(LoginInput{"taro", "old", 0});
    view->StartService();
    ASSERT_TRUE(view->ServiceRunning());
    view->OnCommand(ID_CHANGE_PASSWORD);
    EXPECT_TRUE(passwords.shown.empty());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].textUtf8(), "サービス停止後、パスワード変更してください");

    view->StopService();
    passwords.answer = PasswordChangeInput{"taro", "old", "new1", "new1"};
    view->OnCommand(ID_CHANGE_PASSWORD);
    ASSERT_EQ(passwords.shown.size(), 1u);
    EXPECT_EQ(passwords.shown[0].user, "taro");
    ASSERT_EQ(workers.log.changes.size(), 1u);
    EXPECT_EQ(workers.log.changes[0], "mail.local:1106 taro old->new1");
    EXPECT_EQ(boxes.boxes.back().textUtf8(), "パスワードを変更しました");
    EXPECT_FALSE(store->GetString(key::LastTime).empty());
}

TEST_F(ViewTest, SaveFlagOffDropsTheSavedPassword) {
    store->Write(key::Password, "0000");
    Build();
    login.answers.push_back(LoginInput{"hanako", "pw1", 0});
    view->StartService();
    EXPECT_TRUE(view->ServiceRunning());
    EXPECT_EQ(store->GetString(key::Password), "");
    EXPECT_EQ(view->CurrentCredentials().user, "hanako");
    // The typed name is not the new default.
    EXPECT_EQ(store->GetString(key::DefaultUserId), "your_name");
}

TEST_F(ViewTest, StopThenStartAsksAgainWithTheLastName) {
    Build();
    login.answers.push_back(LoginInput{"hanako", "pw1", 1});
    view->StartService();
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
    view->StartService();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].textUtf8(), "メールチェックのための初期化に失敗しました");
    EXPECT_EQ(boxes.boxes[0].captionUtf8(), "初期化");
    EXPECT_EQ(workers.log.alive, 0);
    EXPECT_TRUE(view->ServiceRunning());
    EXPECT_FALSE(view->MailRunning());
}

TEST_F(ViewTest, ReportsReachTheFrameAsIconsSoundsAndPopups) {
    Build();
    values.sound = 1;
    values.soundFile = "/tmp/ring.wav";
    login.answers.push_back(LoginInput{"u", "p", 0});
    view->StartService();
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

}  // namespace
}  // namespace kestrel
