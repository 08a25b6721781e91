#pragma once

// The controller view with fake workers and dialogs, framed by a real main frame.
#include <QSettings>

#include <gtest/gtest.h>

#include <ctime>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/CKestrelView.h"
#include "app/LoginFlow.h"
#include "app/ServiceController.h"
#include "app/ServiceWorkers.h"
#include "identity/LocalIdentity.h"
#include "settings/SettingsStore.h"
#include "tests/fakes/FakeClock.h"
#include "tests/fakes/FakeFrameServices.h"
#include "tests/fakes/RecordingMessageBoxes.h"
#include "tests/fakes/ScriptedPasswordDialog.h"
#include "tests/support/Spin.h"
#include "ui/CMainFrame.h"
#include "ui/ProgramValues.h"

namespace kestrel::test {

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
    std::vector<unsigned> mailIntervals;  // SetInterval calls
    std::vector<unsigned> newsIntervals;  // ChangeInterval calls
    std::vector<std::string> security;    // SetSecurity calls: "pop news popCA newsCA"
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
    bool SetInterval(unsigned interval) override {
        m_log.mailIntervals.push_back(interval);
        return true;
    }

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
    int ChangeInterval(unsigned interval) override {
        m_log.newsIntervals.push_back(interval);
        return 1;
    }

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
        if (duringServerStep) duringServerStep();
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
        if (duringServerStep) duringServerStep();
        if (log.verdicts.empty()) return true;
        const bool v = log.verdicts.front();
        log.verdicts.pop_front();
        return v;
    }
    void SetSecurity(const TlsSettings& pop, const TlsSettings& news) override {
        log.security.push_back(std::to_string(static_cast<int>(pop.security)) + " " +
                               std::to_string(static_cast<int>(news.security)) + " " + pop.caFile +
                               " " + news.caFile);
    }
    WorkerLog log;
    // Runs inside Verify and ChangePassword, where the real ones serve the program's events
    // while they wait for their server.
    std::function<void()> duringServerStep;
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
        ViewContext context{values,  identity, *store,    boxes,        *frame,
                            workers, login,    passwords, makePeerChat, clock};
        context.settingsDialogs = settingsDialogs;
        context.keyring = keyring;
        view = new CKestrelView(context);
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
    PasswordVault* keyring = nullptr;
    std::unique_ptr<CMainFrame> frame;
    CKestrelView* view = nullptr;
    PeerChatMaker makePeerChat;
    SettingsDialogs* settingsDialogs = nullptr;
    FakeClock clock{std::time(nullptr)};
};

}  // namespace kestrel::test
