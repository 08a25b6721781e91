#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "mail/CPopCheckWnd.h"
#include "mail/SeenMailStore.h"
#include "platform/ProgramDir.h"
#include "res/Cp932.h"
#include "tests/fakes/RecordingMessageBoxes.h"
#include "tests/fakes/ScriptedLineServer.h"
#include "tests/mail/MailTestSupport.h"
#include "tests/support/Spin.h"

namespace kestrel {
namespace {

using test::RecordingLogSink;
using test::ScriptedLineServer;
using test::SpinFor;
using test::SpinUntil;
using Strings = std::vector<std::string>;
using S = ScriptedLineServer;

const char kGreeting[] = "+OK POP3 ready\r\n";

// A server that answers USER and PASS and, when lastReply is given, LAST.
S::Script PopScript(const std::string& passReply, const std::string& lastReply = {}) {
    S::Script script = {S::Send(kGreeting), S::ExpectLine("user"), S::Send("+OK\r\n"),
                        S::ExpectLine("pass"), S::Send(passReply)};
    if (!lastReply.empty()) {
        script.push_back(S::ExpectLine("last"));
        script.push_back(S::Send(lastReply));
    }
    return script;
}

class PopCheckWndTest : public ::testing::Test {
protected:
    std::unique_ptr<CPopCheckWnd> Make(std::function<bool()> noticeOpen = {},
                                       std::shared_ptr<SeenMailStore> seen = {}) {
        return std::make_unique<CPopCheckWnd>(WorkerContext{&frame, &log, &boxes},
                                              std::move(noticeOpen), nullptr, timing,
                                              std::move(seen));
    }
    // Start a check against the server and wait for its dialogue to end.
    std::unique_ptr<CPopCheckWnd> RunOneCheck(const ScriptedLineServer& server,
                                              std::shared_ptr<SeenMailStore> seen = {}) {
        log.clear();
        frame.counts.clear();
        auto wnd = Make({}, std::move(seen));
        EXPECT_TRUE(wnd->Start("127.0.0.1", server.Port(), "alice", "s3cret", 1));
        EXPECT_TRUE(SpinUntil([&] { return log.has("pop3 socket connecting\r\n"); }));
        EXPECT_TRUE(SpinUntil([&] { return !wnd->Busy(); }));
        QCoreApplication::sendPostedEvents();
        return wnd;
    }

    Timing timing = test::FastTiming();
    test::UnreadReceiver frame;
    RecordingLogSink log;
    test::RecordingMessageBoxes boxes;
};

TEST_F(PopCheckWndTest, AFullCheckReportsTheUnreadCountToTheFrame) {
    ScriptedLineServer server(PopScript("+OK alice has 3 messages (1234 octets)\r\n", "+OK 1\r\n"));
    auto wnd = RunOneCheck(server);
    EXPECT_EQ(wnd->objectName(), QStringLiteral("PopCheck Window"));
    EXPECT_EQ(frame.counts, std::vector<std::uint32_t>{2});
    wnd.reset();  // closes the connection
    ASSERT_TRUE(server.WaitForFinished(1, 5000));
    EXPECT_EQ(server.Lines(), (Strings{"user alice", "pass s3cret", "last", "quit"}));
    EXPECT_EQ(server.Mismatches(), 0u);
    EXPECT_EQ(log.Texts(),
              (Strings{"MAIL TIMER SET COMPLETE\r\n", "Popcheck Start!!\r\n",
                       "pop3 socket connecting\r\n", kGreeting, "user alice\r\n", "+OK\r\n",
                       "pass ********\r\n", "+OK alice has 3 messages (1234 octets)\r\n",
                       "last\r\n", "+OK 1\r\n", "quit\r\n", "pop3 socket delete\r\n"}));
    EXPECT_FALSE(log.mentions("s3cret"));
}

TEST_F(PopCheckWndTest, ChecksComeBackEveryInterval) {
    timing.minuteMs = 5;
    ScriptedLineServer server(PopScript("+OK alice has 2 messages (9 octets)\r\n", "+OK 0\r\n"));
    auto wnd = Make();
    ASSERT_TRUE(wnd->Start("127.0.0.1", server.Port(), "alice", "s3cret", 1));
    ASSERT_TRUE(SpinUntil([&] { return frame.counts.size() >= 3; }));
    EXPECT_GE(server.Connections(), 3u);
    EXPECT_EQ(frame.counts[2], 2u);
}

TEST_F(PopCheckWndTest, CountRulesOverTheWire) {
    struct Case {
        const char* name;
        std::string passReply;
        std::string lastReply;
        std::vector<std::uint32_t> counts;
        Strings lines;
        const char* logged;
        S::Script more = {};
    } cases[] = {
        {"no mail",
         "+OK alice has 0 messages (0 octets)\r\n",
         "",
         {0},
         {"user alice", "pass s3cret", "quit"},
         "quit\r\n"},
        {"all seen",
         "+OK alice has 5 messages (90 octets)\r\n",
         "+OK 5\r\n",
         {0},
         {"user alice", "pass s3cret", "last", "quit"},
         "quit\r\n"},
        {"last above total",
         "+OK alice has 5 messages (90 octets)\r\n",
         "+OK 7\r\n",
         {},
         {"user alice", "pass s3cret", "last", "quit"},
         "quit\r\n"},
        // Still logged as a failure of LAST, and then counted by the listing: nothing of
        // this mailbox has been read yet.
        {"last refused",
         "+OK alice has 5 messages (90 octets)\r\n",
         "-ERR no LAST\r\n",
         {2},
         {"user alice", "pass s3cret", "last", "uidl", "quit"},
         "LAST COMMAND ERROR\r\n",
         {S::ExpectLine("uidl"), S::Send("+OK\r\n1 a1\r\n2 b2\r\n.\r\n")}},
    };
    for (const auto& c : cases) {
        S::Script script = PopScript(c.passReply, c.lastReply);
        script.insert(script.end(), c.more.begin(), c.more.end());
        ScriptedLineServer server(script);
        auto wnd = RunOneCheck(server);
        EXPECT_EQ(frame.counts, c.counts) << c.name;
        EXPECT_TRUE(log.has(c.logged)) << c.name;
        wnd.reset();
        ASSERT_TRUE(server.WaitForFinished(1, 5000)) << c.name;
        EXPECT_EQ(server.Lines(), c.lines) << c.name;
    }
}

// A server of today ("+OK Logged in.", no LAST) with the listing given.
S::Script TodayScript(std::size_t messages, const std::string& listing) {
    return {S::Send(kGreeting),
            S::ExpectLine("user"),
            S::Send("+OK\r\n"),
            S::ExpectLine("pass"),
            S::Send("+OK Logged in.\r\n"),
            S::ExpectLine("stat"),
            S::Send("+OK " + std::to_string(messages) + " 4096\r\n"),
            S::ExpectLine("last"),
            S::Send("-ERR Unknown command: LAST\r\n"),
            S::ExpectLine("uidl"),
            S::Send(listing)};
}

std::string Listing(std::size_t messages) {
    std::string listing = "+OK\r\n";
    for (std::size_t i = 1; i <= messages; ++i) {
        listing += std::to_string(i) + " " + std::string(60, 'u') + std::to_string(i) + "\r\n";
    }
    return listing + ".\r\n";
}

TEST_F(PopCheckWndTest, ATodaysServerIsCountedAgainstTheReaderStartsAcrossRestarts) {
    const std::string path = ProgramFile("wnd-seen.dat");
    ScriptedLineServer server(std::vector<S::Script>{
        TodayScript(3, Listing(3)), TodayScript(3, Listing(3)), TodayScript(4, Listing(4)),
        TodayScript(4, Listing(4)), TodayScript(4, Listing(4))});
    auto seen = std::make_shared<SeenMailStore>(path);
    RunOneCheck(server, seen);
    EXPECT_EQ(frame.counts, std::vector<std::uint32_t>{3});
    seen->MarkRead();  // the reader started from the popup
    RunOneCheck(server, seen);
    EXPECT_EQ(frame.counts, std::vector<std::uint32_t>{0});
    RunOneCheck(server, seen);  // one more delivered
    EXPECT_EQ(frame.counts, std::vector<std::uint32_t>{1});

    seen = std::make_shared<SeenMailStore>(path);  // a restart: the new one is still unread
    RunOneCheck(server, seen);
    EXPECT_EQ(frame.counts, std::vector<std::uint32_t>{1});
    seen->MarkRead();
    seen = std::make_shared<SeenMailStore>(path);
    RunOneCheck(server, seen);
    EXPECT_EQ(frame.counts, std::vector<std::uint32_t>{0});
    server.Stop();
    EXPECT_EQ(server.Mismatches(), 0u);
}

TEST_F(PopCheckWndTest, AHundredThousandMessageListingIsCountedOverTheWire) {
    ScriptedLineServer server(TodayScript(100000, Listing(100000)));
    RunOneCheck(server, std::make_shared<SeenMailStore>(""));
    EXPECT_EQ(frame.counts, std::vector<std::uint32_t>{100000});
}

// A box held by another session: the server answers PASS only after its own wait for the
// box, later than an ordinary reply; the check still hears it, says the server is busy and
// leaves the next turn to try again.
TEST_F(PopCheckWndTest, ALateInUseAnswerIsABusyServer) {
    const Timing t = timing;
    ASSERT_GT(t.passReplySlices, t.pollSlices);
    const int lockWaitMs = t.pollSliceMs * (t.pollSlices + t.passReplySlices) / 2;
    ScriptedLineServer server(
        {S::Send(kGreeting), S::ExpectLine("user"), S::Send("+OK\r\n"), S::ExpectLine("pass"),
         S::Wait(lockWaitMs),
         S::Send("-ERR [IN-USE] Mailbox is locked by another POP3 session.\r\n")});
    auto wnd = RunOneCheck(server);
    const Strings logged = log.utf8();
    ASSERT_GE(logged.size(), 3u);
    EXPECT_EQ(logged[logged.size() - 3],
              "POPサーバが混み合っています(次回の監視で再試行します)\r\n");
    EXPECT_EQ(logged[logged.size() - 2], "quit\r\n");
    EXPECT_TRUE(frame.counts.empty());
    EXPECT_TRUE(boxes.boxes.empty());
}

// A failed check reports nothing, shows no box, and closes its connection as soon as its
// worker has ended (the next check is an hour away here): with QUIT where the server has
// answered and waits for a command, without it after silence or a broken connection.
TEST_F(PopCheckWndTest, AFailedCheckIsLoggedAndClosesItsConnectionAtOnce) {
    struct Case {
        const char* name;
        S::Script script;
        std::string logged;  // UTF-8, the start of the failure text
        Strings lines;
    } cases[] = {
        {"not ready",
         {S::Send("-ERR not now\r\n")},
         "POPサーバ側の認証準備ができていません\r\n",
         {}},
        {"user rejected",
         {S::Send(kGreeting), S::ExpectLine("user"), S::Send("-ERR who?\r\n")},
         "protocol error\naliceはサーバに拒否されました\n-ERR who?\r\n\n",
         {"user alice", "quit"}},
        {"password rejected",
         PopScript("-ERR bad password\r\n"),
         "パスワードが不正です\r\n",
         {"user alice", "pass s3cret", "quit"}},
        {"last and uidl refused",
         [] {
             S::Script script =
                 PopScript("+OK alice has 5 messages (90 octets)\r\n", "-ERR no LAST\r\n");
             script.push_back(S::ExpectLine("uidl"));
             script.push_back(S::Send("-ERR no UIDL\r\n"));
             return script;
         }(),
         "UIDL COMMAND ERROR\r\n",
         {"user alice", "pass s3cret", "last", "uidl", "quit"}},
        {"silent server", {S::Stall()}, "ERROR     = -1\r\nLASTERROR = 11\r\n", {}},
        {"silent after USER",
         {S::Send(kGreeting), S::ExpectLine("user"), S::Stall()},
         "ERROR     = -1\r\nLASTERROR = 11\r\n",
         {"user alice"}},
    };
    for (const auto& c : cases) {
        ScriptedLineServer server(c.script);
        auto wnd = RunOneCheck(server);
        EXPECT_TRUE(SpinUntil([&] { return server.Finished() == 1; })) << c.name;
        EXPECT_EQ(server.Lines(), c.lines) << c.name;
        EXPECT_EQ(server.Mismatches(), 0u) << c.name;
        EXPECT_EQ(server.Connections(), 1u) << c.name;

        Strings logged = log.utf8();
        ASSERT_GE(logged.size(), 2u) << c.name;
        EXPECT_EQ(logged.back(), "pop3 socket delete\r\n") << c.name;
        logged.pop_back();
        const bool quit = !c.lines.empty() && c.lines.back() == "quit";
        if (quit) {
            EXPECT_EQ(logged.back(), "quit\r\n") << c.name;
            logged.pop_back();
        }
        EXPECT_EQ(logged.back().rfind(c.logged, 0), 0u) << c.name << ": " << logged.back();
        EXPECT_TRUE(frame.counts.empty()) << c.name;
        EXPECT_TRUE(boxes.boxes.empty()) << c.name;
    }
}

TEST_F(PopCheckWndTest, AClosedConnectionFailsTheCheck) {
    ScriptedLineServer server({S::Send(kGreeting), S::ExpectLine("user"), S::Close()});
    auto wnd = RunOneCheck(server);
    const Strings logged = log.utf8();
    ASSERT_GE(logged.size(), 2u);
    EXPECT_EQ(logged.back(), "pop3 socket delete\r\n");
    EXPECT_EQ(logged[logged.size() - 2].rfind("ERROR     = -1\r\nLASTERROR = ", 0), 0u);
    EXPECT_TRUE(frame.counts.empty());
    wnd.reset();
    server.Stop();
    EXPECT_EQ(server.Lines(), Strings{"user alice"});
}

TEST_F(PopCheckWndTest, OverlongRepliesAreCutWithoutLosingTheDialogue) {
    const std::string longGreeting = "+OK " + std::string(1996, 'g') + "\r\n";
    const std::string longPass =
        "+OK alice has 4 messages (1 octets) " + std::string(1964, 'p') + "\r\n";
    ScriptedLineServer server({S::Send(longGreeting), S::ExpectLine("user"), S::Send("+OK\r\n"),
                               S::ExpectLine("pass"), S::Send(longPass), S::ExpectLine("last"),
                               S::Send("+OK 1\r\n")});
    auto wnd = RunOneCheck(server);
    EXPECT_EQ(frame.counts, std::vector<std::uint32_t>{3});
    EXPECT_TRUE(log.has(longGreeting.substr(0, 1023)));
    EXPECT_TRUE(log.has(longPass.substr(0, 1023)));
}

TEST_F(PopCheckWndTest, AnOverlongRejectionIsCutToItsArea) {
    ScriptedLineServer server({S::Send(kGreeting), S::ExpectLine("user"),
                               S::Send("-ERR " + std::string(1995, 'r') + "\r\n")});
    auto wnd = RunOneCheck(server);
    const Strings texts = log.Texts();
    ASSERT_GE(texts.size(), 3u);  // the rejection, QUIT, the socket's end
    EXPECT_EQ(texts[texts.size() - 2], "quit\r\n");
    const std::string& rejection = texts[texts.size() - 3];
    EXPECT_EQ(rejection.rfind("protocol error\nalice", 0), 0u);
    EXPECT_EQ(rejection.size(), 255u);
    EXPECT_EQ(rejection.back(), '\n');
}

TEST_F(PopCheckWndTest, ATickWhileBusyOnlyRearms) {
    timing.minuteMs = 5;      // interval 1 = 5 ms, far inside one reply wait
    timing.pollSliceMs = 50;  // 5 s per reply wait
    ScriptedLineServer server({S::Stall()});
    auto wnd = Make();
    ASSERT_TRUE(wnd->Start("127.0.0.1", server.Port(), "alice", "s3cret", 1));
    ASSERT_TRUE(SpinUntil([&] { return log.has("Skip Mailcheck Start!!\r\n"); }));
    EXPECT_TRUE(wnd->Busy());
    EXPECT_EQ(server.Connections(), 1u);
    const Strings texts = log.Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Popcheck Start!!\r\n"), 1);
    wnd.reset();
    EXPECT_TRUE(log.has("pop3 socket delete (at processing)\r\n"));
    EXPECT_TRUE(frame.counts.empty());
}

TEST_F(PopCheckWndTest, AnOpenNoticeSkipsTheTurn) {
    timing.minuteMs = 5;
    ScriptedLineServer server(PopScript("+OK alice has 0 messages\r\n"));
    bool noticeOpen = true;
    auto wnd = Make([&] { return noticeOpen; });
    ASSERT_TRUE(wnd->Start("127.0.0.1", server.Port(), "alice", "s3cret", 1));
    ASSERT_TRUE(SpinUntil([&] {
        const Strings texts = log.Texts();
        return std::count(texts.begin(), texts.end(), "Skip Mailcheck Start!!\r\n") >= 2;
    }));
    EXPECT_EQ(server.Connections(), 0u);
    EXPECT_FALSE(log.has("Popcheck Start!!\r\n"));
    // The turns come back once the notice is closed.
    noticeOpen = false;
    ASSERT_TRUE(SpinUntil([&] { return !frame.counts.empty(); }));
    EXPECT_EQ(frame.counts.front(), 0u);
}

TEST_F(PopCheckWndTest, DestroyingTheWindowStopsAStalledUserWaitWithinOneSlice) {
    timing.pollSliceMs = 200;  // a missed stop would show as a 20 s wait ending in the error text
    ScriptedLineServer server({S::Send(kGreeting), S::ExpectLine("user"), S::Stall()});
    auto wnd = Make();
    ASSERT_TRUE(wnd->Start("127.0.0.1", server.Port(), "alice", "s3cret", 1));
    ASSERT_TRUE(SpinUntil([&] { return server.Lines().size() == 1; }));
    wnd.reset();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(log.Texts().back(), "pop3 socket delete (at processing)\r\n");
    EXPECT_FALSE(log.has("pop3 socket delete\r\n"));
    EXPECT_FALSE(log.mentions("ERROR"));
    EXPECT_TRUE(frame.counts.empty());
    ASSERT_TRUE(server.WaitForFinished(1, 5000));  // the connection went with the window
    EXPECT_EQ(server.Lines(), Strings{"user alice"});
}

TEST_F(PopCheckWndTest, ASocketThatCannotBeMadeShowsABoxAndStopsTheChecks) {
    timing.minuteMs = 5;  // a re-armed timer would come back at once
    auto wnd = Make();
    ASSERT_TRUE(wnd->Start("", 110, "alice", "s3cret", 1));  // no host: refused at creation
    ASSERT_TRUE(SpinUntil([&] { return !boxes.boxes.empty(); }));
    SpinFor(50);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].textUtf8(), "POPサーバに接続できませんでした。\nLASTERROR = 22");
    EXPECT_EQ(boxes.boxes[0].captionUtf8(), "メール監視エラー");
    EXPECT_EQ(boxes.boxes[0].icon, BoxIcon::Stop);
    EXPECT_TRUE(log.has("ERROR (LASTERROR = 22)\r\n"));
    EXPECT_FALSE(log.has("pop3 socket connecting\r\n"));

    // Setting the interval again brings the checks back.
    EXPECT_TRUE(wnd->SetInterval(1));
    ASSERT_TRUE(SpinUntil([&] { return boxes.boxes.size() == 2; }));
}

TEST_F(PopCheckWndTest, IntervalZeroIsRefusedWithABox) {
    ScriptedLineServer server(PopScript("+OK alice has 0 messages\r\n"));
    auto wnd = Make();
    EXPECT_FALSE(wnd->Start("127.0.0.1", server.Port(), "alice", "s3cret", 0));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].textUtf8(), "タイマー値が０です");
    EXPECT_EQ(boxes.boxes[0].captionUtf8(), "タイマー値エラー");
    EXPECT_TRUE(log.Texts().empty());

    ASSERT_TRUE(wnd->Start("127.0.0.1", server.Port(), "alice", "s3cret", 1));
    EXPECT_FALSE(wnd->SetInterval(0));  // stops the armed first check
    EXPECT_EQ(boxes.boxes.size(), 2u);
    SpinFor(50);
    EXPECT_EQ(server.Connections(), 0u);
}

TEST_F(PopCheckWndTest, StartRefusesWhatDoesNotFitItsFieldOrCommand) {
    struct Case {
        std::string server, user, password;
    } cases[] = {
        {std::string(256, 's'), "alice", "pw"},        {"127.0.0.1", std::string(256, 'u'), "pw"},
        {"127.0.0.1", std::string(121, 'u'), "pw"},  // fits the field, not "user %s\r\n"
        {"127.0.0.1", "alice", std::string(121, 'p')}, {"127.0.0.1", "alice\r\nDELE 1", "pw"},
    };
    for (const auto& c : cases) {
        auto wnd = Make();
        EXPECT_FALSE(wnd->Start(c.server, 110, c.user, c.password, 1)) << c.user;
        EXPECT_EQ(log.Texts().back(), "MAIL ACCOUNT ERROR\r\n");
    }
    auto wnd = Make();
    EXPECT_TRUE(
        wnd->Start(std::string(255, 's'), 110, std::string(120, 'u'), std::string(120, 'p'), 1));
    EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
}  // namespace kestrel
