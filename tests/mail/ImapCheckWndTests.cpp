#include <QCoreApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "mail/CImapCheckWnd.h"
#include "mail/ImapVerification.h"
#include "res/Cp932.h"
#include "res/Text.h"
#include "res/TextsMail.h"
#include "tests/fakes/RecordingMessageBoxes.h"
#include "tests/fakes/ScriptedLineServer.h"
#include "tests/mail/MailTestSupport.h"
#include "tests/support/Spin.h"

namespace kestrel {
namespace {

using test::RecordingLogSink;
using test::ScriptedLineServer;
using test::SpinUntil;
using Strings = std::vector<std::string>;
using S = ScriptedLineServer;
using Counts = std::vector<std::uint32_t>;

const char kGreeting[] = "* OK [CAPABILITY IMAP4rev1 AUTH=PLAIN] ready\r\n";
const char kIdleGreeting[] = "* OK [CAPABILITY IMAP4rev1 IDLE] ready\r\n";

// Greeting and LOGIN, accepted (the tags are the client's: k1, k2, ...).
S::Script LoggedIn(const char* greeting) {
    return {S::Send(greeting), S::ExpectLine("k1 LOGIN"),
            S::Send("k1 OK [CAPABILITY IMAP4rev1 IDLE] Logged in\r\n")};
}

// From a logged-in session with IDLE: EXAMINE (k2), STATUS (k3) with the count, IDLE (k4).
S::Script IntoIdle(const char* greeting, int unseen) {
    S::Script s = LoggedIn(greeting);
    s.insert(s.end(),
             {S::ExpectLine("k2 EXAMINE INBOX"), S::Send("* 5 EXISTS\r\nk2 OK\r\n"),
              S::ExpectLine("k3 STATUS INBOX (UNSEEN)"),
              S::Send("* STATUS INBOX (UNSEEN " + std::to_string(unseen) + ")\r\nk3 OK\r\n"),
              S::ExpectLine("k4 IDLE"), S::Send("+ idling\r\n")});
    return s;
}

class ImapCheckWndTest : public ::testing::Test {
protected:
    ImapCheckWndTest() {
        timing.imapRetryFirstMs = 20;
        timing.pollSlices = 50;
    }
    std::unique_ptr<CImapCheckWnd> Make() {
        return std::make_unique<CImapCheckWnd>(WorkerContext{&frame, &log, &boxes}, nullptr,
                                               nullptr, timing);
    }
    std::unique_ptr<CImapCheckWnd> Started(const ScriptedLineServer& server,
                                           const std::string& password = "s3cret") {
        auto wnd = Make();
        EXPECT_TRUE(wnd->Start("127.0.0.1", server.Port(), "alice", password, 1));
        return wnd;
    }
    // One check that ends by itself.
    std::unique_ptr<CImapCheckWnd> RunOneCheck(const ScriptedLineServer& server) {
        auto wnd = Started(server);
        EXPECT_TRUE(SpinUntil([&] { return log.has("imap socket connecting\r\n"); }));
        EXPECT_TRUE(SpinUntil([&] { return !wnd->Busy(); }));
        QCoreApplication::sendPostedEvents();
        return wnd;
    }

    Timing timing = test::FastTiming();
    test::UnreadReceiver frame;
    RecordingLogSink log;
    test::RecordingMessageBoxes boxes;
};

TEST_F(ImapCheckWndTest, WithoutIdleOneCheckCountsTheUnseenMailAndLogsOut) {
    S::Script script = {S::Send(kGreeting),
                        S::ExpectLine("k1 LOGIN"),
                        S::Send("k1 OK [CAPABILITY IMAP4rev1] Logged in\r\n"),
                        S::ExpectLine("k2 STATUS INBOX (UNSEEN)"),
                        S::Send("* STATUS INBOX (MESSAGES 9 UNSEEN 4)\r\nk2 OK done\r\n"),
                        S::ExpectLine("k3 LOGOUT"),
                        S::Send("* BYE\r\nk3 OK\r\n")};
    ScriptedLineServer server(script);
    auto wnd = RunOneCheck(server);
    EXPECT_EQ(wnd->objectName(), QStringLiteral("ImapCheck Window"));
    EXPECT_EQ(frame.counts, Counts{4});
    EXPECT_FALSE(wnd->Idling());
    EXPECT_EQ(wnd->RetryDelayMs(), 0);
    wnd.reset();
    ASSERT_TRUE(server.WaitForFinished(1, 5000));
    EXPECT_EQ(server.Lines(),
              (Strings{"k1 LOGIN \"alice\" \"s3cret\"", "k2 STATUS INBOX (UNSEEN)", "k3 LOGOUT"}));
    EXPECT_EQ(server.Mismatches(), 0u);
    EXPECT_TRUE(log.has("k1 LOGIN \"alice\" ********\r\n"));
    EXPECT_TRUE(log.has("* STATUS INBOX (MESSAGES 9 UNSEEN 4)\r\n"));
    EXPECT_TRUE(log.has("imap socket delete\r\n"));
    EXPECT_FALSE(log.mentions("s3cret"));
    EXPECT_TRUE(boxes.boxes.empty());
}

// Refusals end the check without a count and without a box; the server hears LOGOUT when it
// still listens. A broken or oversized response ends it at once, with nothing allocated for
// the size the server claimed.
TEST_F(ImapCheckWndTest, RefusalsAndBrokenServersEndTheCheckWithoutACount) {
    struct Case {
        const char* name;
        S::Script script;
        const char* logged;
        Strings lines;
    } cases[] = {
        {"wrong password",
         {S::Send(kGreeting), S::ExpectLine("k1 LOGIN"),
          S::Send("k1 NO [AUTHENTICATIONFAILED] Authentication failed.\r\n"),
          S::ExpectLine("k2 LOGOUT"), S::Send("k2 OK\r\n")},
         "パスワードが不正です\r\n",
         {"k1 LOGIN \"alice\" \"s3cret\"", "k2 LOGOUT"}},
        {"server busy",
         {S::Send(kGreeting), S::ExpectLine("k1 LOGIN"),
          S::Send("k1 NO [UNAVAILABLE] Temporary failure\r\n"), S::ExpectLine("k2 LOGOUT"),
          S::Send("k2 OK\r\n")},
         "IMAPサーバが混み合っています(次回の監視で再試行します)\r\n",
         {"k1 LOGIN \"alice\" \"s3cret\"", "k2 LOGOUT"}},
        {"no greeting OK",
         {S::Send("* BYE too many connections\r\n"), S::Stall()},
         "IMAPサーバ側の認証準備ができていません\r\n",
         {}},
        {"STATUS refused",
         {S::Send(kGreeting), S::ExpectLine("k1 LOGIN"), S::Send("k1 OK [CAPABILITY X] hi\r\n"),
          S::ExpectLine("k2 STATUS"), S::Send("k2 NO no such box\r\n"), S::ExpectLine("k3 LOGOUT"),
          S::Send("k3 OK\r\n")},
         "STATUS COMMAND ERROR\r\n",
         {"k1 LOGIN \"alice\" \"s3cret\"", "k2 STATUS INBOX (UNSEEN)", "k3 LOGOUT"}},
        {"huge literal",
         {S::Send(kGreeting), S::ExpectLine("k1 LOGIN"), S::Send("k1 OK [CAPABILITY X] hi\r\n"),
          S::ExpectLine("k2 STATUS"), S::Send("* STATUS {4000000000}\r\n"), S::Stall()},
         "IMAP PROTOCOL ERROR (literal over the cap)\r\n",
         {"k1 LOGIN \"alice\" \"s3cret\"", "k2 STATUS INBOX (UNSEEN)"}},
        {"broken line",
         {S::Send(kGreeting), S::ExpectLine("k1 LOGIN"), S::Send(std::string("k1 OK\0\r\n", 8)),
          S::Stall()},
         "IMAP PROTOCOL ERROR (zero byte in a line)\r\n",
         {"k1 LOGIN \"alice\" \"s3cret\""}},
        {"silent after LOGIN",
         {S::Send(kGreeting), S::ExpectLine("k1 LOGIN"), S::Stall()},
         "ERROR     = -1\r\nLASTERROR = 11\r\n",
         {"k1 LOGIN \"alice\" \"s3cret\""}},
    };
    for (auto& c : cases) {
        log.clear();
        frame.counts.clear();
        ScriptedLineServer server(c.script);
        const auto began = std::chrono::steady_clock::now();
        auto wnd = RunOneCheck(server);
        EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(5)) << c.name;
        EXPECT_TRUE(frame.counts.empty()) << c.name;
        EXPECT_TRUE(log.has(sjis(c.logged))) << c.name;
        EXPECT_TRUE(boxes.boxes.empty()) << c.name;
        EXPECT_EQ(wnd->RetryDelayMs(), 0) << c.name;
        wnd.reset();
        EXPECT_EQ(server.Lines(), c.lines) << c.name;
    }
}

TEST_F(ImapCheckWndTest, IdlePostsANewCountAsSoonAsTheServerTellsOfMail) {
    // The IDLE waits in ten-minute slices: the server's lines and the quit below must each
    // end one at once.
    timing.imapIdleSliceMs = 600000;
    S::Script script = IntoIdle(kIdleGreeting, 2);
    script.insert(script.end(),
                  {S::Hold(), S::Send("* 6 EXISTS\r\n* 1 RECENT\r\n"), S::ExpectLine("DONE"),
                   S::Send("k4 OK Idle completed\r\n"), S::ExpectLine("k5 STATUS INBOX (UNSEEN)"),
                   S::Send("* STATUS INBOX (UNSEEN 3)\r\nk5 OK\r\n"), S::ExpectLine("k6 IDLE"),
                   S::Send("+ idling\r\n"), S::Hold(), S::Send("* 2 FETCH (FLAGS (\\Seen))\r\n"),
                   S::ExpectLine("DONE"), S::Send("k6 OK\r\n"), S::ExpectLine("k7 STATUS"),
                   S::Send("* STATUS INBOX (UNSEEN 2)\r\nk7 OK\r\n"), S::ExpectLine("k8 IDLE"),
                   S::Send("+ idling\r\n"), S::Stall()});
    ScriptedLineServer server(script);
    auto wnd = Started(server);
    ASSERT_TRUE(SpinUntil([&] { return frame.counts == Counts{2}; }));
    ASSERT_TRUE(SpinUntil([&] { return wnd->Idling(); }));
    server.Release();
    ASSERT_TRUE(SpinUntil([&] { return frame.counts == (Counts{2, 3}); }));
    server.Release();  // the flags changed elsewhere: a message was read
    ASSERT_TRUE(SpinUntil([&] { return frame.counts == (Counts{2, 3, 2}); }));
    ASSERT_TRUE(SpinUntil([&] { return server.Lines().size() >= 8; }));
    EXPECT_TRUE(wnd->Busy());
    EXPECT_EQ(server.Connections(), 1u);
    EXPECT_EQ(server.Mismatches(), 0u);

    // Quitting ends the IDLE at once, neither after a slice nor after a reply budget.
    const auto began = std::chrono::steady_clock::now();
    wnd.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(500));
    ASSERT_TRUE(server.WaitForLines(9, 5000));
    EXPECT_EQ(server.Lines().back(), "DONE");
}

TEST_F(ImapCheckWndTest, TheIdleIsRenewedBeforeTheServerDropsIt) {
    timing.imapIdleRenewMs = 30;
    S::Script script = IntoIdle(kIdleGreeting, 0);
    script.insert(script.end(), {S::ExpectLine("DONE"), S::Send("k4 OK\r\n"),
                                 S::ExpectLine("k5 IDLE"), S::Send("+ idling\r\n"), S::Stall()});
    ScriptedLineServer server(script);
    auto wnd = Started(server);
    ASSERT_TRUE(SpinUntil([&] { return server.Lines().size() >= 6; }));
    EXPECT_EQ(server.Lines().back(), "k5 IDLE");
    EXPECT_EQ(frame.counts, Counts{0});  // nothing changed: no recount
}

// A dropped IDLE connection is reopened after a growing wait; a server that never completes
// the IDLE after DONE counts as dropped too.
TEST_F(ImapCheckWndTest, ADroppedIdleIsReopenedAfterAGrowingWait) {
    S::Script closes = IntoIdle(kIdleGreeting, 1);
    closes.push_back(S::Close());
    S::Script neverDone = IntoIdle(kIdleGreeting, 1);
    neverDone.insert(neverDone.end(),
                     {S::Send("* 6 EXISTS\r\n"), S::ExpectLine("DONE"), S::Stall()});
    S::Script holds = IntoIdle(kIdleGreeting, 2);
    holds.push_back(S::Stall());
    ScriptedLineServer server(std::vector<S::Script>{closes, neverDone, closes, holds});
    auto wnd = Started(server);
    ASSERT_TRUE(SpinUntil([&] { return server.Connections() == 4 && wnd->Idling(); }, 10000));
    ASSERT_TRUE(SpinUntil([&] { return frame.counts.size() == 4; }));
    EXPECT_EQ(frame.counts, (Counts{1, 1, 1, 2}));
    EXPECT_TRUE(log.has("IDLE RETRY IN 20 ms\r\n"));
    EXPECT_TRUE(log.has("IDLE RETRY IN 40 ms\r\n"));
    EXPECT_TRUE(log.has("IDLE RETRY IN 80 ms\r\n"));
    EXPECT_TRUE(log.has("IDLE CONNECTION LOST\r\n"));
    EXPECT_EQ(wnd->RetryDelayMs(), 0);
    EXPECT_TRUE(boxes.boxes.empty());
}

// The waits stop growing at the interval: from there the interval's own check reopens it.
TEST_F(ImapCheckWndTest, RetriesStopAtTheInterval) {
    timing.minuteMs = 100;
    S::Script closes = IntoIdle(kIdleGreeting, 1);
    closes.push_back(S::Close());
    ScriptedLineServer server(closes);
    auto wnd = Started(server);
    ASSERT_TRUE(SpinUntil([&] { return log.has("IDLE RETRY IN 80 ms\r\n"); }, 10000));
    ASSERT_TRUE(SpinUntil([&] { return server.Connections() >= 6; }, 10000));
    EXPECT_FALSE(log.has("IDLE RETRY IN 160 ms\r\n"));
}

TEST_F(ImapCheckWndTest, AServerThatRefusesIdleIsCountedByTheTimer) {
    timing.minuteMs = 40;
    S::Script script = IntoIdle(kIdleGreeting, 3);
    script.pop_back();
    script.insert(script.end(), {S::Send("k4 BAD not now\r\n"), S::ExpectLine("k5 LOGOUT"),
                                 S::Send("k5 OK\r\n")});
    ScriptedLineServer server(script);
    auto wnd = Started(server);
    ASSERT_TRUE(SpinUntil([&] { return frame.counts.size() >= 2; }, 10000));
    EXPECT_TRUE(log.has("IDLE COMMAND ERROR\r\n"));
    EXPECT_FALSE(log.mentions("IDLE RETRY"));
}

// Where the server takes no password in clear, or has no STARTTLS when it was asked for, no
// password goes out: the TLS box says so.
TEST_F(ImapCheckWndTest, NoPasswordGoesOutInClearWhenTheServerOrTheSettingsForbidIt) {
    struct Case {
        const char* name;
        ChannelSecurity security;
        S::Script script;
        Strings lines;
    } cases[] = {
        {"LOGINDISABLED in clear",
         ChannelSecurity::None,
         {S::Send("* OK [CAPABILITY IMAP4rev1 STARTTLS LOGINDISABLED] hi\r\n"), S::Stall()},
         {}},
        {"STARTTLS not offered",
         ChannelSecurity::StartTls,
         {S::Send("* OK hi\r\n"), S::ExpectLine("k1 CAPABILITY"),
          S::Send("* CAPABILITY IMAP4rev1 AUTH=PLAIN\r\nk1 OK\r\n"), S::Stall()},
         {"k1 CAPABILITY"}},
        {"STARTTLS refused",
         ChannelSecurity::StartTls,
         {S::Send("* OK [CAPABILITY IMAP4rev1 STARTTLS] hi\r\n"), S::ExpectLine("k1 STARTTLS"),
          S::Send("k1 NO not today\r\n"), S::Stall()},
         {"k1 STARTTLS"}},
        {"data after the go-ahead",
         ChannelSecurity::StartTls,
         {S::Send("* OK [CAPABILITY IMAP4rev1 STARTTLS] hi\r\n"), S::ExpectLine("k1 STARTTLS"),
          S::Send("k1 OK go\r\n* OK injected\r\n"), S::Stall()},
         {"k1 STARTTLS"}},
    };
    for (auto& c : cases) {
        log.clear();
        boxes.boxes.clear();
        ScriptedLineServer server(c.script);
        auto wnd = Make();
        wnd->SetSecurity(TlsSettings{c.security, {}});
        ASSERT_TRUE(wnd->Start("127.0.0.1", server.Port(), "alice", "s3cret", 1));
        ASSERT_TRUE(SpinUntil([&] { return boxes.boxes.size() == 1; })) << c.name;
        EXPECT_NE(cp932ToUtf8(boxes.boxes[0].text).find("ユーザ名とパスワードは送信していません"),
                  std::string::npos)
            << c.name;
        EXPECT_TRUE(log.mentions("TLS ERROR (")) << c.name;
        wnd.reset();
        EXPECT_EQ(server.Lines(), c.lines) << c.name;
        EXPECT_FALSE(log.mentions("s3cret")) << c.name;
    }
}

// An account no quoted string can carry goes by AUTHENTICATE PLAIN, still masked in the log.
TEST_F(ImapCheckWndTest, AnAccountWithEightBitBytesGoesByAuthenticatePlain) {
    const std::string password = "p\x83\x41ss";  // CP932 bytes
    S::Script script = {S::Send(kGreeting),
                        S::ExpectLine("k1 AUTHENTICATE PLAIN"),
                        S::Send("+ \r\n"),
                        S::ExpectLine("AGFsaWNlAHCDQXNz"),
                        S::Send("k1 OK [CAPABILITY IMAP4rev1] in\r\n"),
                        S::ExpectLine("k2 STATUS"),
                        S::Send("* STATUS INBOX (UNSEEN 1)\r\nk2 OK\r\n"),
                        S::ExpectLine("k3 LOGOUT"),
                        S::Send("k3 OK\r\n")};
    ScriptedLineServer server(script);
    auto wnd = Started(server, password);
    ASSERT_TRUE(SpinUntil([&] { return frame.counts == Counts{1}; }));
    wnd.reset();
    EXPECT_EQ(server.Mismatches(), 0u);
    EXPECT_FALSE(log.mentions("AGFsaWNl"));
    EXPECT_TRUE(log.has("********\r\n"));
}

}  // namespace
}  // namespace kestrel

namespace kestrel {
namespace {

// The log-in check at start over IMAP: the verdict, and the box that says why not.
TEST(ImapVerification, TheServersVerdictDecidesTheLogInWithABoxForEachRefusal) {
    struct Case {
        const char* name;
        S::Script script;
        bool accepted;
        const char* boxStart;  // UTF-8; none when accepted
    } cases[] = {
        {"accepted",
         {S::Send(kGreeting), S::ExpectLine("k1 LOGIN"), S::Send("k1 OK [CAPABILITY X] in\r\n"),
          S::ExpectLine("k2 LOGOUT"), S::Send("* BYE\r\nk2 OK\r\n")},
         true,
         ""},
        {"wrong password",
         {S::Send(kGreeting), S::ExpectLine("k1 LOGIN"),
          S::Send("k1 NO [AUTHENTICATIONFAILED] Authentication failed.\r\n"),
          S::ExpectLine("k2 LOGOUT"), S::Send("k2 OK\r\n")},
         false,
         "protocol error\nalice"},
        {"in use",
         {S::Send(kGreeting), S::ExpectLine("k1 LOGIN"), S::Send("k1 NO [INUSE] locked\r\n"),
          S::ExpectLine("k2 LOGOUT"), S::Send("k2 OK\r\n")},
         false,
         "POPサーバが混み合っているため"},
        {"no log-in in clear",
         {S::Send("* OK [CAPABILITY IMAP4rev1 LOGINDISABLED] hi\r\n"), S::Stall()},
         false,
         "POPサーバ 127.0.0.1 と暗号化通信ができません"},
    };
    for (auto& c : cases) {
        ScriptedLineServer server(c.script);
        RecordingLogSink log;
        test::RecordingMessageBoxes boxes;
        const bool accepted =
            VerifyImapAccount(WorkerContext{nullptr, &log, &boxes}, test::FastTiming(),
                              TlsSettings{}, "127.0.0.1", server.Port(), "alice", "s3cret");
        EXPECT_EQ(accepted, c.accepted) << c.name;
        if (c.accepted) {
            EXPECT_TRUE(boxes.boxes.empty()) << c.name;
        } else {
            ASSERT_EQ(boxes.boxes.size(), 1u) << c.name;
            EXPECT_EQ(boxes.boxes[0].textUtf8().rfind(c.boxStart, 0), 0u)
                << c.name << ": " << boxes.boxes[0].textUtf8();
            EXPECT_EQ(boxes.boxes[0].captionUtf8(), "認証失敗") << c.name;
        }
        EXPECT_FALSE(log.mentions("s3cret")) << c.name;
    }
}

}  // namespace
}  // namespace kestrel
