#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "mail/CPasswdChangeWnd.h"
#include "mail/PoppassdReply.h"
#include "net/SocketChannel.h"
#include "res/Cp932.h"
#include "tests/fakes/ClosedPort.h"
#include "tests/fakes/RecordingMessageBoxes.h"
#include "tests/fakes/ScriptedChannel.h"
#include "tests/fakes/ScriptedLineServer.h"
#include "tests/mail/MailTestSupport.h"

namespace kestrel {
namespace {

using test::RecordingLogSink;
using test::ScriptedChannel;
using test::ScriptedLineServer;
using Strings = std::vector<std::string>;
using S = ScriptedLineServer;

const char kGreeting[] = "200 poppassd v1.8.5 hello, who are you?\r\n";
const char kUserOk[] = "200 Your password please.\r\n";
const char kPassOk[] = "200 Your new password please.\r\n";
const char kChanged[] = "200 Password changed, thank-you.\r\n";

Timing TestTiming() {
    Timing t;
    t.pollSliceMs = 3;
    t.newPassSliceMs = 7;
    return t;
}

class PasswdChangeWndTest : public ::testing::Test {
protected:
    bool Change(ScriptedChannel& channel, const std::string& user = "alice",
                const std::string& oldPassword = "Old-Secret",
                const std::string& newPassword = "New-Secret") {
        CPasswdChangeWnd wnd(WorkerContext{nullptr, &log, &boxes}, nullptr, timing);
        return wnd.ExecChange(channel, user, oldPassword, newPassword);
    }
    void ExpectOneBox(const std::string& utf8Text) {
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].textUtf8(), utf8Text);
        EXPECT_EQ(boxes.boxes[0].captionUtf8(), "CPasswdChangeWnd::ExecChange()");
        EXPECT_EQ(boxes.boxes[0].buttons, BoxButtons::Ok);
    }
    void ExpectNoPasswordLogged() const {
        EXPECT_FALSE(log.mentions("Old-Secret"));
        EXPECT_FALSE(log.mentions("New-Secret"));
    }

    Timing timing = TestTiming();
    RecordingLogSink log;
    test::RecordingMessageBoxes boxes;
};

TEST(PoppassdReply, OnlyTheCodeAndTheSpaceMatter) {
    struct Case {
        const char* reply;
        bool ok;
        bool userAccepted;
    } cases[] = {
        {"200 hello, who are you?\r\n", true, true},
        {"200 HELLO\r\n", true, true},
        {"200 ", true, true},
        {"300 password please\r\n", false, true},
        {"200hello\r\n", false, false},
        {"500 Old password is incorrect.\r\n", false, false},
        {"20", false, false},
        {"", false, false},
        {"2000 \r\n", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(poppassd::IsOk(c.reply), c.ok) << c.reply;
        EXPECT_EQ(poppassd::IsUserAccepted(c.reply), c.userAccepted) << c.reply;
    }
}

TEST_F(PasswdChangeWndTest, AConfirmedChangeSendsTheFourLinesAndLogsNoPassword) {
    for (const char* greeting : {kGreeting, "200 HELLO, WHO ARE YOU?\r\n"}) {
        log.clear();
        ScriptedChannel channel({{greeting}, {kUserOk}, {kPassOk}, {kChanged}});
        EXPECT_TRUE(Change(channel));
        EXPECT_TRUE(boxes.boxes.empty());
        EXPECT_EQ(channel.sent, (Strings{"user alice\r\n", "pass Old-Secret\r\n",
                                         "newpass New-Secret\r\n", "quit\r\n"}));
        EXPECT_EQ(log.utf8(),
                  (Strings{"poppassd socket connecting\r\n", greeting, "user alice\r\n", kUserOk,
                           "pass ********\r\n", kPassOk, "newpass ********\r\n", kChanged,
                           "quit\r\n", "poppassd socket delete\r\n"}));
        ExpectNoPasswordLogged();
    }
}

TEST_F(PasswdChangeWndTest, A300ReplyToUserIsTakenLikeA200) {
    ScriptedChannel channel({{kGreeting}, {"300 Password please.\r\n"}, {kPassOk}, {kChanged}});
    EXPECT_TRUE(Change(channel));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(PasswdChangeWndTest, EachRefusalStopsTheDialogueWithItsOwnBox) {
    struct Case {
        const char* name;
        std::vector<test::ScriptedReply> replies;
        std::size_t linesSent;
        std::string box;  // UTF-8; empty: none
        Strings logTail;  // UTF-8, the last texts of the log
    } cases[] = {
        {"not ready",
         {{"500 go away\r\n"}},
         0,
         "サーバ側の認証準備ができていません",
         {"500 go away\r\n", "poppassdサーバ側の認証準備ができていません\r\n"}},
        {"user refused",
         {{kGreeting}, {"500 Unknown user\r\n"}},
         1,
         "protocol error\naliceはサーバに拒否されました\n500 Unknown user\r\n\n",
         {"500 Unknown user\r\n",
          "protocol error\naliceはサーバに拒否されました\n500 Unknown user\r\n\n",
          "poppassd socket delete\r\n"}},
        {"300 after PASS",
         {{kGreeting}, {kUserOk}, {"300 again?\r\n"}},
         2,
         "パスワードが不正です\r\n",
         {"300 again?\r\n", "パスワードが不正です\r\n", "poppassd socket delete\r\n"}},
        {"wrong password",
         {{kGreeting}, {kUserOk}, {"500 Old password is incorrect.\r\n"}},
         2,
         "パスワードが不正です\r\n",
         {"500 Old password is incorrect.\r\n", "パスワードが不正です\r\n",
          "poppassd socket delete\r\n"}},
        // The caller tells the user; nothing is shown here.
        {"new password refused",
         {{kGreeting}, {kUserOk}, {kPassOk}, {"500 Bad new password.\r\n"}},
         3,
         "",
         {"newpass ********\r\n", "500 Bad new password.\r\n", "パスワード変更に失敗しました\r\n",
          "poppassd socket delete\r\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        boxes.boxes.clear();
        log.clear();
        ScriptedChannel channel(c.replies);
        EXPECT_FALSE(Change(channel));
        EXPECT_EQ(channel.sent.size(), c.linesSent);
        if (c.box.empty()) {
            EXPECT_TRUE(boxes.boxes.empty());
        } else {
            ExpectOneBox(c.box);
        }
        const Strings logged = log.utf8();
        ASSERT_GE(logged.size(), c.logTail.size());
        EXPECT_EQ(Strings(logged.end() - static_cast<long>(c.logTail.size()), logged.end()),
                  c.logTail);
        ExpectNoPasswordLogged();
    }
}

TEST_F(PasswdChangeWndTest, SilenceAndFailedSendsEndWithTheErrorNumbers) {
    struct Case {
        const char* name;
        std::vector<test::ScriptedReply> replies;
        std::optional<std::size_t> failSendAt;
        std::string box;
    } cases[] = {
        {"no greeting", {test::AtWait(kGreeting, 0)}, {}, "ERROR     = -1\r\nLASTERROR = 11\r\n"},
        {"silent after USER",
         {{kGreeting}, test::AtWait(kUserOk, 0)},
         {},
         "ERROR     = -1\r\nLASTERROR = 11\r\n"},
        {"silent after PASS",
         {{kGreeting}, {kUserOk}, test::AtWait(kPassOk, 0)},
         {},
         "ERROR     = -1\r\nLASTERROR = 11\r\n"},
        {"USER not sent", {{kGreeting}}, 0, "ERROR     = -1\r\nLASTERROR = 32\r\n"},
        {"PASS not sent", {{kGreeting}, {kUserOk}}, 1, "ERROR     = -1\r\nLASTERROR = 32\r\n"},
        {"NEWPASS not sent",
         {{kGreeting}, {kUserOk}, {kPassOk}},
         2,
         "ERROR     = -1\r\nLASTERROR = 32\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        boxes.boxes.clear();
        log.clear();
        ScriptedChannel channel(c.replies);
        channel.failSendAt = c.failSendAt;
        EXPECT_FALSE(Change(channel));
        ExpectOneBox(c.box);
        const Strings logged = log.utf8();
        ASSERT_GE(logged.size(), 2u);
        EXPECT_EQ(logged[logged.size() - 2], c.box);
        EXPECT_EQ(logged.back(), "poppassd socket delete\r\n");
    }
}

TEST_F(PasswdChangeWndTest, TheNewPasswordReplyHasItsOwnLongerBudget) {
    // The last of the 1,500 slices still counts.
    ScriptedChannel late({{kGreeting}, {kUserOk}, {kPassOk}, test::AtWait(kChanged, 1500)});
    EXPECT_TRUE(Change(late));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(std::count(late.waitTimeouts.begin(), late.waitTimeouts.end(), 7), 1500);

    log.clear();
    ScriptedChannel silent({{kGreeting}, {kUserOk}, {kPassOk}, test::AtWait(kChanged, 1501)});
    EXPECT_FALSE(Change(silent));
    EXPECT_EQ(std::count(silent.waitTimeouts.begin(), silent.waitTimeouts.end(), 7), 1500);
    // The ordinary replies kept their short slices.
    EXPECT_EQ(std::count(silent.waitTimeouts.begin(), silent.waitTimeouts.end(), 3), 3);
    EXPECT_EQ(silent.sent.size(), 3u);  // no QUIT after a time-out
    const std::string text =
        "サーバからの応答が遅いので、切断しました\nERROR     = -1\r\nLASTERROR = 11\r\n";
    ExpectOneBox(text);
    const Strings logged = log.utf8();
    EXPECT_EQ(Strings(logged.end() - 2, logged.end()),
              (Strings{"poppassd socket delete\r\n", text}));
}

TEST_F(PasswdChangeWndTest, AFailedQuitStillReportsTheChange) {
    ScriptedChannel channel({{kGreeting}, {kUserOk}, {kPassOk}, {kChanged}});
    channel.failSendAt = 3;
    EXPECT_TRUE(Change(channel));
    ExpectOneBox("ERROR     = -1\r\nLASTERROR = 32\r\n");
    EXPECT_EQ(log.utf8().back(), "poppassd socket delete\r\n");
}

TEST_F(PasswdChangeWndTest, FieldsThatCannotGoOutWholeAreRefusedBeforeConnecting) {
    struct Case {
        std::string user, oldPassword, newPassword, box;
    } cases[] = {
        {std::string(121, 'u'), "old", "new", "ユーザ名またはパスワードが長すぎます"},
        {"alice", std::string(200, 'p'), "new", "ユーザ名またはパスワードが長すぎます"},
        {"alice", "old", std::string(118, 'n'), "ユーザ名またはパスワードが長すぎます"},
        {"alice\r\nquit", "old", "new", "ユーザ名またはパスワードに改行文字が含まれています"},
        {"alice", "old", "new\nx", "ユーザ名またはパスワードに改行文字が含まれています"},
    };
    ScriptedLineServer server({S::Send(kGreeting)});
    for (const auto& c : cases) {
        boxes.boxes.clear();
        CPasswdChangeWnd wnd(WorkerContext{nullptr, &log, &boxes}, nullptr, timing);
        EXPECT_FALSE(
            wnd.ExecChange("127.0.0.1", server.Port(), c.user, c.oldPassword, c.newPassword));
        ExpectOneBox(c.box);
    }
    EXPECT_EQ(server.Connections(), 0u);
}

// Over a real socket against a scripted server.
class PasswdChangeSocketTest : public PasswdChangeWndTest {
protected:
    bool Change(const ScriptedLineServer& server) {
        CPasswdChangeWnd wnd(WorkerContext{nullptr, &log, &boxes}, nullptr, timing);
        return wnd.ExecChange("127.0.0.1", server.Port(), "alice", "Old-Secret", "New-Secret");
    }
};

TEST_F(PasswdChangeSocketTest, TheDialogueRunsOverTheSocketAndClosesIt) {
    EXPECT_EQ(CPasswdChangeWnd(WorkerContext{}).objectName(),
              QStringLiteral("PasswordChange Window"));
    ScriptedLineServer server({S::Send(kGreeting), S::ExpectLine("user alice"), S::Send(kUserOk),
                               S::ExpectLine("pass Old-Secret"), S::Send(kPassOk),
                               S::ExpectLine("newpass New-Secret"), S::Send(kChanged),
                               S::ExpectLine("quit"), S::Stall()});
    EXPECT_TRUE(Change(server));
    EXPECT_TRUE(boxes.boxes.empty());
    ASSERT_TRUE(server.WaitForFinished(1, 5000));  // closed when ExecChange returned
    EXPECT_EQ(server.Mismatches(), 0u);
    EXPECT_EQ(server.Lines().size(), 4u);
    ExpectNoPasswordLogged();
}

TEST_F(PasswdChangeSocketTest, ANewPasswordReplyLaterThanAnOrdinaryWaitIsStillTaken) {
    // Ordinary waits of 100 x 2 ms, the new-password wait of 100 x 20 ms; the server takes
    // longer than the first and well within the second.
    timing.pollSliceMs = 2;
    timing.newPassSliceMs = 20;
    timing.newPassSlices = 100;
    ScriptedLineServer server({S::Send(kGreeting), S::ExpectLine("user"), S::Send(kUserOk),
                               S::ExpectLine("pass"), S::Send(kPassOk), S::ExpectLine("newpass"),
                               S::Wait(500), S::Send(kChanged), S::Stall()});
    EXPECT_TRUE(Change(server));
    EXPECT_TRUE(boxes.boxes.empty());
}

// Each reply, the long-awaited new-password one among them, is let out only by a timer tick
// on this thread during the wait for it: the change gets through only when the thread serves
// its events while it waits, for up to 2 min 30 s in the program.
TEST_F(PasswdChangeSocketTest, EventsAreServedWhileEachReplyIsAwaited) {
    timing.pollSliceMs = 20;
    timing.newPassSliceMs = 20;
    ScriptedLineServer server({S::Hold(), S::Send(kGreeting), S::ExpectLine("user alice"),
                               S::Hold(), S::Send(kUserOk), S::ExpectLine("pass Old-Secret"),
                               S::Hold(), S::Send(kPassOk), S::ExpectLine("newpass New-Secret"),
                               S::Hold(), S::Send(kChanged), S::ExpectLine("quit"), S::Stall()});
    test::ReleaseOnTick ticks(server, 4);
    EXPECT_TRUE(Change(server));
    EXPECT_EQ(ticks.Released(), 4u);
    EXPECT_TRUE(boxes.boxes.empty());
    ASSERT_TRUE(server.WaitForFinished(1, 5000));
    EXPECT_EQ(server.Mismatches(), 0u);
    EXPECT_EQ(log.utf8(), (Strings{"poppassd socket connecting\r\n", kGreeting, "user alice\r\n",
                                   kUserOk, "pass ********\r\n", kPassOk, "newpass ********\r\n",
                                   kChanged, "quit\r\n", "poppassd socket delete\r\n"}));
}

TEST_F(PasswdChangeSocketTest, AnUnreachableServerFailsTheGreetingWait) {
    CPasswdChangeWnd wnd(WorkerContext{nullptr, &log, &boxes}, nullptr, timing);
    EXPECT_FALSE(wnd.ExecChange("127.0.0.1", test::ClosedPort(), "alice", "a", "b"));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].textUtf8().rfind("ERROR     = -1\r\nLASTERROR = ", 0), 0u);
    EXPECT_EQ(log.utf8().front(), "poppassd socket connecting\r\n");
    EXPECT_EQ(log.utf8().back(), "poppassd socket delete\r\n");
}

}  // namespace
}  // namespace kestrel
