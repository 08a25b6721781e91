// The timer flow against a real mail check: the view re-arms the running POP3 check, and the
// scripted server sees the checks come at the new interval (on a scaled minute).
#include <gtest/gtest.h>

#include <memory>

#include "app/QtWorkerFactory.h"
#include "mail/SeenMailStore.h"
#include "res/Ids.h"
#include "tests/app/ViewTestSupport.h"
#include "tests/fakes/ScriptedLineServer.h"
#include "tests/fakes/ScriptedSettingsDialogs.h"
#include "tests/support/Spin.h"

namespace kestrel {
namespace {

using test::ScriptedLineServer;
using test::SpinFor;
using test::SpinUntil;
using S = ScriptedLineServer;

// The real mail check; the log-in is taken as verified so the server sees only the checks.
class LiveMailWorkers final : public WorkerFactory {
public:
    explicit LiveMailWorkers(std::unique_ptr<WorkerFactory> real) : m_real(std::move(real)) {}
    std::unique_ptr<MailWorker> MakeMailWorker() override { return m_real->MakeMailWorker(); }
    std::unique_ptr<NewsWorker> MakeNewsWorker() override { return m_real->MakeNewsWorker(); }
    std::unique_ptr<IdentWorker> MakeIdentWorker() override { return m_real->MakeIdentWorker(); }
    bool Verify(const std::string&, int, const std::string&, const std::string&) override {
        return true;
    }
    bool ChangePassword(const std::string&, int, const std::string&, const std::string&,
                        const std::string&) override {
        return false;
    }

private:
    std::unique_ptr<WorkerFactory> m_real;
};

class MailIntervalLive : public test::ViewTest {};

TEST_F(MailIntervalLive, ChangedMailIntervalReachesTheRunningCheck) {
    ScriptedLineServer server({S::Send("+OK ready\r\n"), S::ExpectLine("user"), S::Send("+OK\r\n"),
                               S::ExpectLine("pass"),
                               S::Send("+OK taro has 0 messages (0 octets)\r\n"),
                               S::ExpectLine("quit"), S::Send("+OK\r\n")});
    ASSERT_TRUE(server.Listening());
    store->Write(key::POPServer, std::string("127.0.0.1"));
    store->Write(key::POPPort, server.Port());
    store->Write(key::MailTimer, 60);
    store->Write(key::PasswdCheck, 0);
    store->Flush();

    // A minute of 40 ms: the stored hour is 2.4 s, the new minute 40 ms.
    Timing timing = ProgramTiming().Scaled(0.001);
    timing.mailFirstCheckMs = 10;
    timing.minuteMs = 40;
    values.iconise = 0;
    frame = std::make_unique<CMainFrame>(values, notices, sound);
    LiveMailWorkers live(std::make_unique<QtWorkerFactory>(
        *frame, boxes, values, std::make_shared<SeenMailStore>(""), timing));
    test::ScriptedSettingsDialogs dialogs;
    ViewContext context{values, identity, *store, boxes, *frame, live, login, passwords};
    context.settingsDialogs = &dialogs;
    view = new CKestrelView(context);
    frame->SetClient(view);
    frame->SetForm(view);

    login.answers.push_back(LoginInput{"taro", "pw", 0});
    view->OnCommand(ID_START_SERVICE);
    ASSERT_TRUE(view->Service().MailRunning());
    // The check keeps its connection until the next one; its "quit" ends the dialogue.
    ASSERT_TRUE(SpinUntil([&] { return server.Lines().size() >= 3; }, 5000));
    // At the stored interval no second check comes for a while.
    SpinFor(400);
    EXPECT_EQ(server.Connections(), 1u);

    dialogs.answers.push_back([](ViewSettings& v) {
        v.MailTimer = 1;
        return true;
    });
    view->OnCommand(ID_TIMER_SETTINGS);
    EXPECT_TRUE(SpinUntil([&] { return server.Connections() >= 4; }, 3000));
    EXPECT_EQ(server.Mismatches(), 0u);
    EXPECT_TRUE(boxes.boxes.empty());
    // The view and its check go before the factory they came from.
    delete frame->takeCentralWidget();
    frame.reset();
}

}  // namespace
}  // namespace kestrel
