#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "mail/PopCheckDialogue.h"
#include "mail/SeenMailStore.h"
#include "res/Cp932.h"
#include "tests/fakes/ScriptedChannel.h"
#include "tests/mail/MailTestSupport.h"

namespace kestrel {
namespace {

using test::RecordingLogSink;
using test::ScriptedChannel;
using Strings = std::vector<std::string>;

const MailAccount kAccount{"127.0.0.1", 110, "alice"};
const char kGreeting[] = "+OK Dovecot ready.\r\n";
const char kLoggedIn[] = "+OK Logged in.\r\n";
const char kNoLast[] = "-ERR Unknown command: LAST\r\n";

Timing Quick() {
    Timing t;
    t.pollSliceMs = 1;
    return t;
}

struct Outcome {
    std::optional<std::uint32_t> unread;
    Strings sent;
    Strings log;   // as written
    Strings utf8;  // the same, for the Japanese texts
};

Outcome Check(SeenMailStore& seen, test::Replies replies) {
    ScriptedChannel channel(std::move(replies));
    std::atomic<int> stop{0};
    RecordingLogSink log;
    PopCheckDialogue dialogue(channel, log, stop, Quick());
    dialogue.UseSeenMail(&seen, kAccount);
    Outcome out;
    out.unread = dialogue.Run("alice", "pw");
    out.sent = channel.sent;
    out.log = log.Texts();
    out.utf8 = log.utf8();
    return out;
}

// A server of today: no count after PASS, no LAST.
test::Replies Today(std::uint32_t total, std::vector<std::string> listing) {
    return {{kGreeting}, {"+OK\r\n"},
            {kLoggedIn}, {"+OK " + std::to_string(total) + " 999\r\n"},
            {kNoLast},   std::move(listing)};
}

TEST(PopCheckByUidl, CountsAgainstWhatTheUserWentToRead) {
    SeenMailStore seen("");
    const std::string three = "+OK\r\n1 m1\r\n2 m2\r\n3 m3\r\n.\r\n";
    Outcome first = Check(seen, Today(3, {three}));
    EXPECT_EQ(first.unread, 3u);
    EXPECT_EQ(first.sent, (Strings{"user alice\r\n", "pass pw\r\n", "stat\r\n", "last\r\n",
                                   "uidl\r\n", "quit\r\n"}));
    EXPECT_EQ(first.log,
              (Strings{kGreeting, "user alice\r\n", "+OK\r\n", "pass ********\r\n", kLoggedIn,
                       "stat\r\n", "+OK 3 999\r\n", "last\r\n", kNoLast, "LAST COMMAND ERROR\r\n",
                       "uidl\r\n", "+OK\r\n", "quit\r\n", "pop3 socket delete\r\n"}));

    seen.MarkRead();
    EXPECT_EQ(Check(seen, Today(3, {three})).unread, 0u);
    // The listing in pieces as a slow line brings it.
    EXPECT_EQ(
        Check(seen, Today(4, {"+OK\r\n1 m1\r\n2 m", "2\r\n3 m3\r", "\n4 m4\r\n.", "\r\n"})).unread,
        1u);
    // Nothing on the server: STAT says so, nothing else is asked.
    const Outcome empty = Check(seen, {{kGreeting}, {"+OK\r\n"}, {kLoggedIn}, {"+OK 0 0\r\n"}});
    EXPECT_EQ(empty.unread, 0u);
    EXPECT_EQ(empty.sent.back(), "quit\r\n");
    EXPECT_EQ(empty.sent.size(), 4u);
}

TEST(PopCheckByUidl, FailuresReportNothingAndKeepTheBook) {
    struct Case {
        const char* name;
        test::Replies replies;
        std::string logged;  // the failure text, before "pop3 socket delete" (and QUIT)
        bool quit;           // the server answered and waits for a command
    } cases[] = {
        {"STAT refused",
         {{kGreeting}, {"+OK\r\n"}, {kLoggedIn}, {"-ERR no\r\n"}},
         "STAT COMMAND ERROR\r\n",
         true},
        {"UIDL refused", Today(2, {"-ERR Unknown command: UIDL\r\n"}), "UIDL COMMAND ERROR\r\n",
         true},
        {"malformed listing", Today(2, {"+OK\r\n1\r\n.\r\n"}), "UIDL COMMAND ERROR\r\n", true},
        {"listing broken off", Today(2, {"+OK\r\n1 m1\r\n2 n"}),
         "ERROR     = -1\r\nLASTERROR = 11\r\n", false},
        {"silent after STAT",
         {{kGreeting}, {"+OK\r\n"}, {kLoggedIn}},
         "ERROR     = -1\r\nLASTERROR = 11\r\n",
         false},
        {"box in use",
         {{kGreeting}, {"+OK\r\n"}, {"-ERR [IN-USE] Mailbox is locked\r\n"}},
         "POPサーバが混み合っています(次回の監視で再試行します)\r\n",
         true},
    };
    for (auto& c : cases) {
        SeenMailStore seen("");
        Check(seen, Today(1, {"+OK\r\n1 m1\r\n.\r\n"}));
        seen.MarkRead();
        const Outcome run = Check(seen, c.replies);
        EXPECT_EQ(run.unread, std::nullopt) << c.name;
        const Strings& log = run.utf8;
        ASSERT_GE(log.size(), 3u) << c.name;
        EXPECT_EQ(log[log.size() - (c.quit ? 3 : 2)], c.logged) << c.name;
        EXPECT_EQ(log.back(), "pop3 socket delete\r\n") << c.name;
        EXPECT_EQ(run.sent.back() == "quit\r\n", c.quit) << c.name;
        EXPECT_EQ(Check(seen, Today(1, {"+OK\r\n1 m1\r\n.\r\n"})).unread, 0u) << c.name;
    }
}

TEST(PopCheckByUidl, AStopDuringTheListingEndsAtOnce) {
    SeenMailStore seen("");
    ScriptedChannel channel(Today(2, {"+OK\r\n1 m1\r\n"}));
    std::atomic<int> stop{0};
    channel.onWait = [&](int) {
        if (channel.sent.size() == 5) stop = 1;  // once UIDL is out
    };
    RecordingLogSink log;
    PopCheckDialogue dialogue(channel, log, stop, Quick());
    dialogue.UseSeenMail(&seen, kAccount);
    EXPECT_EQ(dialogue.Run("alice", "pw"), std::nullopt);
    EXPECT_EQ(log.Texts().back(), "pop3 socket delete (at processing)\r\n");
}

}  // namespace
}  // namespace kestrel
