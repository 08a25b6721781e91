#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mail/CAuthenticationWnd.h"
#include "res/Cp932.h"
#include "tests/fakes/ClosedPort.h"
#include "tests/fakes/RecordingMessageBoxes.h"
#include "tests/fakes/ScriptedChannel.h"
#include "tests/fakes/ScriptedLineServer.h"
#include "tests/mail/MailTestSupport.h"

namespace kestrel {
namespace {

using test::RecordingLogSink;
using test::ScriptedLineServer;
using Strings = std::vector<std::string>;
using S = ScriptedLineServer;

const char kGreeting[] = "+OK POP3 ready\r\n";

class AuthenticationWndTest : public ::testing::Test {
protected:
    bool Verify(const ScriptedLineServer& server, const std::string& user = "alice",
                const std::string& password = "pw") {
        CAuthenticationWnd wnd(WorkerContext{nullptr, &log, &boxes}, nullptr, timing);
        return wnd.Verify("127.0.0.1", server.Port(), user, password);
    }
    void ExpectOneBox(const std::string& utf8Text) {
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].textUtf8(), utf8Text);
        EXPECT_EQ(boxes.boxes[0].captionUtf8(), "認証失敗");
        EXPECT_EQ(boxes.boxes[0].buttons, BoxButtons::Ok);
    }
    Timing timing = test::FastTiming();
    RecordingLogSink log;
    test::RecordingMessageBoxes boxes;
};

TEST_F(AuthenticationWndTest, AcceptedUserAndPasswordVerify) {
    ScriptedLineServer server({S::Send(kGreeting), S::ExpectLine("user"), S::Send("+OK\r\n"),
                               S::ExpectLine("pass"), S::Send("+OK welcome\r\n"),
                               S::ExpectLine("quit"), S::Send("+OK bye\r\n"), S::Close()});
    EXPECT_TRUE(Verify(server, "alice", "pw"));
    EXPECT_TRUE(boxes.boxes.empty());
    ASSERT_TRUE(server.WaitForFinished(1, 5000));
    EXPECT_EQ(server.Lines(), (Strings{"user alice", "pass pw", "quit"}));
    EXPECT_EQ(log.Texts(), (Strings{"pop3 socket connecting\r\n", "user alice\r\n", "+OK\r\n",
                                    "pass ********\r\n", "+OK welcome\r\n", "quit\r\n",
                                    "pop3 socket delete\r\n"}));
    CAuthenticationWnd wnd(WorkerContext{nullptr, &log, &boxes}, nullptr, timing);
    EXPECT_EQ(wnd.objectName(), QStringLiteral("Authentication Window"));
}

// A server that takes its time over every reply: each reply is let out only by a timer tick on
// this thread during the wait for it, so the log-in gets through only when the thread serves
// its events while it waits; a log-in that blocked the thread would freeze the windows for as
// long as the server takes. The dialogue itself is as with a quick server.
TEST_F(AuthenticationWndTest, EventsAreServedWhileEachReplyIsAwaited) {
    timing.pollSliceMs = 20;  // a budget of 2 s a reply, room for the tick on a busy machine
    ScriptedLineServer server({S::Hold(), S::Send(kGreeting), S::ExpectLine("user"), S::Hold(),
                               S::Send("+OK\r\n"), S::ExpectLine("pass"), S::Hold(),
                               S::Send("+OK welcome\r\n"), S::ExpectLine("quit"), S::Stall()});
    test::ReleaseOnTick ticks(server, 3);
    EXPECT_TRUE(Verify(server, "alice", "pw"));
    EXPECT_EQ(ticks.Released(), 3u);
    EXPECT_TRUE(boxes.boxes.empty());
    ASSERT_TRUE(server.WaitForFinished(1, 5000));
    EXPECT_EQ(server.Lines(), (Strings{"user alice", "pass pw", "quit"}));
    EXPECT_EQ(log.Texts(), (Strings{"pop3 socket connecting\r\n", "user alice\r\n", "+OK\r\n",
                                    "pass ********\r\n", "+OK welcome\r\n", "quit\r\n",
                                    "pop3 socket delete\r\n"}));
}

TEST_F(AuthenticationWndTest, ARejectedUserIsNamedAndNoPasswordIsSent) {
    ScriptedLineServer server(
        {S::Send(kGreeting), S::ExpectLine("user"), S::Send("-ERR no such user\r\n")});
    EXPECT_FALSE(Verify(server));
    const std::string text =
        "protocol error\naliceはサーバに拒否されました\n-ERR no such user\r\n\n";
    ExpectOneBox(text);
    const Strings logged = log.utf8();
    EXPECT_EQ(logged, (Strings{"pop3 socket connecting\r\n", "user alice\r\n",
                               "-ERR no such user\r\n", text, "pop3 socket delete\r\n"}));
    ASSERT_TRUE(server.WaitForFinished(1, 5000));  // the socket is gone when Verify returns
    EXPECT_EQ(server.Lines(), Strings{"user alice"});
}

TEST_F(AuthenticationWndTest, AWrongPasswordHasItsOwnWordingAndIsNotLogged) {
    ScriptedLineServer server({S::Send(kGreeting), S::ExpectLine("user"), S::Send("+OK\r\n"),
                               S::ExpectLine("pass"), S::Send("-ERR bad password\r\n")});
    EXPECT_FALSE(Verify(server, "alice", "wrong"));
    ExpectOneBox(
        "protocol error\naliceはサーバに拒否されました(パスワード異常)\n-ERR bad password\r\n\n");
    EXPECT_FALSE(log.mentions("protocol error"));
    EXPECT_FALSE(log.mentions("wrong"));
    EXPECT_EQ(log.Texts().back(), "pop3 socket delete\r\n");
    ASSERT_TRUE(server.WaitForFinished(1, 5000));
    EXPECT_EQ(server.Lines(), (Strings{"user alice", "pass wrong"}));  // no QUIT after a failure
}

// The answer to a wrong password comes late on purpose (a failed-log-in penalty); the wait
// for it outlasts an ordinary reply budget, so it still reads as a wrong password.
TEST_F(AuthenticationWndTest, AWrongPasswordAnsweredAfterAPenaltyIsStillAWrongPassword) {
    const Timing t = timing;
    ASSERT_GT(t.passReplySlices, t.pollSlices);
    const int penaltyMs = t.pollSliceMs * (t.pollSlices + t.passReplySlices) / 2;
    ScriptedLineServer server({S::Send(kGreeting), S::ExpectLine("user"), S::Send("+OK\r\n"),
                               S::ExpectLine("pass"), S::Wait(penaltyMs),
                               S::Send("-ERR [AUTH] Authentication failed.\r\n")});
    EXPECT_FALSE(Verify(server, "alice", "wrong"));
    ExpectOneBox(
        "protocol error\naliceはサーバに拒否されました(パスワード異常)\n-ERR [AUTH] "
        "Authentication failed.\r\n\n");
}

TEST_F(AuthenticationWndTest, ABusyServerIsNotAWrongPassword) {
    for (const char* reply :
         {"-ERR [IN-USE] Mailbox is locked by another POP3 session\r\n",
          "-ERR [LOGIN-DELAY] Wait a minute\r\n", "-ERR [SYS/TEMP] Try again later\r\n"}) {
        boxes.boxes.clear();
        ScriptedLineServer server({S::Send(kGreeting), S::ExpectLine("user"), S::Send("+OK\r\n"),
                                   S::ExpectLine("pass"), S::Send(reply)});
        EXPECT_FALSE(Verify(server, "alice", "pw")) << reply;
        ExpectOneBox(
            "POPサーバが混み合っているため、認証できませんでした。\nしばらくしてから、もう一度ロ"
            "グインしてください。");
        server.Stop();
        EXPECT_EQ(server.Lines(), (Strings{"user alice", "pass pw"})) << reply;
    }
}

TEST_F(AuthenticationWndTest, AnUnreachableServerShowsTheLastReadAndError) {
    CAuthenticationWnd wnd(WorkerContext{nullptr, &log, &boxes}, nullptr, timing);
    EXPECT_FALSE(wnd.Verify("127.0.0.1", test::ClosedPort(), "alice", "pw"));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    const std::string prefix =
        "POPサーバとの通信に失敗しました。\r\nERROR     = -1\r\nLASTERROR = ";
    const std::string text = boxes.boxes[0].textUtf8();
    ASSERT_EQ(text.rfind(prefix, 0), 0u) << text;
    EXPECT_GT(std::stoi(text.substr(prefix.size())), 0);
    EXPECT_EQ(log.Texts(), (Strings{"pop3 socket connecting\r\n", "pop3 socket delete\r\n"}));
}

TEST_F(AuthenticationWndTest, EachFailingStepShowsOneBoxWithItsText) {
    struct Case {
        const char* name;
        S::Script script;
        std::string box;  // UTF-8
        bool logged;      // the box text also goes to the event log
    } cases[] = {
        {"not ready",
         {S::Send("-ERR go away\r\n")},
         "POPサーバ側の認証準備ができていません",
         false},
        {"silent after USER",
         {S::Send(kGreeting), S::ExpectLine("user"), S::Stall()},
         "Receive Error (COMMAND=USER)\r\nERROR     = -1\r\nLASTERROR = 11\r\n",
         true},
        {"silent after PASS",
         {S::Send(kGreeting), S::ExpectLine("user"), S::Send("+OK\r\n"), S::ExpectLine("pass"),
          S::Stall()},
         "Receive Error (COMMAND=PASS)\r\nERROR     = -1\r\nLASTERROR = 11\r\n",
         true},
    };
    for (const auto& c : cases) {
        boxes.boxes.clear();
        log.clear();
        ScriptedLineServer server(c.script);
        EXPECT_FALSE(Verify(server)) << c.name;
        ExpectOneBox(c.box);
        const Strings logged = log.utf8();
        EXPECT_EQ(std::count(logged.begin(), logged.end(), c.box), c.logged ? 1 : 0) << c.name;
        EXPECT_EQ(logged.back(), "pop3 socket delete\r\n") << c.name;
    }
}

TEST_F(AuthenticationWndTest, NotReadyIsLoggedWithALineEnd) {
    ScriptedLineServer server({S::Send("-ERR go away\r\n")});
    EXPECT_FALSE(Verify(server));
    EXPECT_EQ(log.utf8(),
              (Strings{"pop3 socket connecting\r\n", "POPサーバ側の認証準備ができていません\r\n",
                       "pop3 socket delete\r\n"}));
}

TEST_F(AuthenticationWndTest, AnOverlongRejectionIsCutToItsArea) {
    ScriptedLineServer server({S::Send(kGreeting), S::ExpectLine("user"),
                               S::Send("-ERR " + std::string(1995, 'r') + "\r\n")});
    EXPECT_FALSE(Verify(server));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text.size(), 251u);
    EXPECT_EQ(boxes.boxes[0].text.rfind("protocol error\nalice", 0), 0u);
    EXPECT_TRUE(log.mentions(std::string(1018, 'r')));  // the reply itself, cut to 1,023 bytes
    EXPECT_FALSE(log.mentions(std::string(1019, 'r')));
}

TEST_F(AuthenticationWndTest, AnAccountThatCannotGoOutWholeIsRefusedBeforeConnecting) {
    struct Case {
        std::string user, password, box;
    } cases[] = {
        {std::string(121, 'u'), "pw", "ユーザ名またはパスワードが長すぎます"},
        {"alice", std::string(500, 'p'), "ユーザ名またはパスワードが長すぎます"},
        {"alice\r\nDELE 1", "pw", "ユーザ名またはパスワードに改行文字が含まれています"},
        {"alice", "pw\nx", "ユーザ名またはパスワードに改行文字が含まれています"},
    };
    ScriptedLineServer server({S::Send(kGreeting)});
    for (const auto& c : cases) {
        boxes.boxes.clear();
        EXPECT_FALSE(Verify(server, c.user, c.password));
        ExpectOneBox(c.box);
    }
    EXPECT_EQ(server.Connections(), 0u);
    EXPECT_TRUE(log.Texts().empty());
}

TEST_F(AuthenticationWndTest, AFailedQuitStillVerifies) {
    test::ScriptedChannel channel({{kGreeting}, {"+OK\r\n"}, {"+OK\r\n"}});
    channel.failSendAt = 2;  // QUIT
    CAuthenticationWnd wnd(WorkerContext{nullptr, &log, &boxes}, nullptr, timing);
    EXPECT_TRUE(wnd.Verify(channel, "alice", "pw"));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(log.has("Send Error (COMMAND=QUIT)\r\nERROR     = -1\r\nLASTERROR = 32\r\n"));
    EXPECT_EQ(log.Texts().back(), "pop3 socket delete\r\n");
}

TEST_F(AuthenticationWndTest, SendFailuresOfUserAndPassAreShownAndLogged) {
    struct Case {
        std::size_t failAt;
        const char* text;
    } cases[] = {
        {0, "Send Error (COMMAND=USER)\r\nERROR     = -1\r\nLASTERROR = 32\r\n"},
        {1, "Send Error (COMMAND=PASS)\r\nERROR     = -1\r\nLASTERROR = 32\r\n"},
    };
    for (const auto& c : cases) {
        boxes.boxes.clear();
        log.clear();
        test::ScriptedChannel channel({{kGreeting}, {"+OK\r\n"}, {"+OK\r\n"}});
        channel.failSendAt = c.failAt;
        CAuthenticationWnd wnd(WorkerContext{nullptr, &log, &boxes}, nullptr, timing);
        EXPECT_FALSE(wnd.Verify(channel, "alice", "pw"));
        ExpectOneBox(c.text);
        EXPECT_TRUE(log.has(c.text));
        EXPECT_EQ(channel.sent.size(), c.failAt + 1);  // nothing after the failed send
    }
}

}  // namespace
}  // namespace kestrel
