#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "mail/PopCheckDialogue.h"
#include "res/Cp932.h"
#include "res/Text.h"
#include "res/TextsMail.h"
#include "tests/fakes/ScriptedChannel.h"
#include "tests/mail/MailTestSupport.h"

namespace kestrel {
namespace {

using test::RecordingLogSink;
using test::ScriptedChannel;
using Strings = std::vector<std::string>;

Timing Quick() {
    Timing t;
    t.pollSliceMs = 1;
    return t;
}

struct CheckRun {
    std::optional<std::uint32_t> unread;
    Strings sent;
    RecordingLogSink log;
};

void RunCheck(CheckRun& run, ScriptedChannel& channel, const std::string& user = "alice",
              const std::string& password = "s3cret") {
    std::atomic<int> stop{0};
    PopCheckDialogue dialogue(channel, run.log, stop, Quick());
    run.unread = dialogue.Run(user, password);
    run.sent = channel.sent;
}

const char kGreeting[] = "+OK POP3 ready\r\n";

TEST(PopCheckDialogue, CountRules) {
    struct Case {
        const char* name;
        test::Replies replies;  // greeting, USER, PASS, LAST
        std::optional<std::uint32_t> unread;
        Strings sent;
    } cases[] = {
        {"no mail: no LAST, 0 reported",
         {{kGreeting}, {"+OK\r\n"}, {"+OK alice has 0 messages (0 octets)\r\n"}},
         0u,
         {"user alice\r\n", "pass s3cret\r\n", "quit\r\n"}},
        {"no has, fourth byte a space: 0 reported",
         {{kGreeting}, {"+OK\r\n"}, {"+OK 5 messages\r\n"}},
         0u,
         {"user alice\r\n", "pass s3cret\r\n", "quit\r\n"}},
        {"3 messages, none seen",
         {{kGreeting}, {"+OK\r\n"}, {"+OK alice has 3 messages (1234 octets)\r\n"}, {"+OK 0\r\n"}},
         3u,
         {"user alice\r\n", "pass s3cret\r\n", "last\r\n", "quit\r\n"}},
        {"total 5, last 5",
         {{kGreeting}, {"+OK\r\n"}, {"+OK alice has 5 messages (9 octets)\r\n"}, {"+OK 5\r\n"}},
         0u,
         {"user alice\r\n", "pass s3cret\r\n", "last\r\n", "quit\r\n"}},
        {"last above total: QUIT, nothing reported",
         {{kGreeting}, {"+OK\r\n"}, {"+OK alice has 5 messages (9 octets)\r\n"}, {"+OK 7\r\n"}},
         std::nullopt,
         {"user alice\r\n", "pass s3cret\r\n", "last\r\n", "quit\r\n"}},
        {"LAST refused: QUIT",
         {{kGreeting}, {"+OK\r\n"}, {"+OK alice has 5 messages (9 octets)\r\n"}, {"-ERR no\r\n"}},
         std::nullopt,
         {"user alice\r\n", "pass s3cret\r\n", "last\r\n", "quit\r\n"}},
        {"greeting not ready: nothing sent", {{"-ERR busy\r\n"}}, std::nullopt, {}},
        {"user rejected: no PASS, QUIT",
         {{kGreeting}, {"-ERR who\r\n"}},
         std::nullopt,
         {"user alice\r\n", "quit\r\n"}},
        {"password rejected: no LAST, QUIT",
         {{kGreeting}, {"+OK\r\n"}, {"-ERR bad\r\n"}},
         std::nullopt,
         {"user alice\r\n", "pass s3cret\r\n", "quit\r\n"}},
        {"silent after USER", {{kGreeting}}, std::nullopt, {"user alice\r\n"}},
    };
    for (auto& c : cases) {
        ScriptedChannel channel(c.replies);
        CheckRun run;
        RunCheck(run, channel);
        EXPECT_EQ(run.unread, c.unread) << c.name;
        EXPECT_EQ(run.sent, c.sent) << c.name;
    }
}

TEST(PopCheckDialogue, EveryReplySplitAtEveryByteGivesTheSameCount) {
    const std::vector<std::string> replies = {
        kGreeting, "+OK alice\r\n", "+OK alice has 12 messages (99 octets)\r\n", "+OK 4\r\n"};
    for (std::size_t which = 0; which < replies.size(); ++which) {
        for (std::size_t cut = 1; cut < replies[which].size(); ++cut) {
            test::Replies script;
            for (std::size_t i = 0; i < replies.size(); ++i) {
                if (i == which) {
                    script.push_back({replies[i].substr(0, cut), replies[i].substr(cut)});
                } else {
                    script.push_back({replies[i]});
                }
            }
            ScriptedChannel channel(script);
            CheckRun run;
            RunCheck(run, channel);
            EXPECT_EQ(run.unread, 8u) << "reply " << which << " cut at " << cut;
        }
    }
}

TEST(PopCheckDialogue, LogsTheDialogueWithThePasswordMasked) {
    ScriptedChannel channel(
        {{kGreeting}, {"+OK\r\n"}, {"+OK alice has 3 messages (1234 octets)\r\n"}, {"+OK 1\r\n"}});
    CheckRun run;
    RunCheck(run, channel, "alice", "s3cret");
    EXPECT_EQ(run.unread, 2u);
    EXPECT_EQ(run.log.Texts(), (Strings{kGreeting, "user alice\r\n", "+OK\r\n", "pass ********\r\n",
                                        "+OK alice has 3 messages (1234 octets)\r\n", "last\r\n",
                                        "+OK 1\r\n", "quit\r\n", "pop3 socket delete\r\n"}));
    EXPECT_FALSE(run.log.mentions("s3cret"));
}

TEST(PopCheckDialogue, FailureTexts) {
    struct Case {
        const char* name;
        test::Replies replies;
        std::string text;
        bool quit;  // a refusal: the server waits for a command and gets QUIT
    } cases[] = {
        {"not ready", {{"-ERR busy\r\n"}}, "POPサーバ側の認証準備ができていません\r\n", false},
        {"user rejected",
         {{kGreeting}, {"-ERR who\r\n"}},
         "protocol error\naliceはサーバに拒否されました\n-ERR who\r\n\n",
         true},
        {"password", {{kGreeting}, {"+OK\r\n"}, {"-ERR\r\n"}}, "パスワードが不正です\r\n", true},
        {"last refused",
         {{kGreeting}, {"+OK\r\n"}, {"+OK a has 2 messages\r\n"}, {"-ERR\r\n"}},
         "LAST COMMAND ERROR\r\n",
         true},
        {"silent greeting", test::Replies(1), "ERROR     = -1\r\nLASTERROR = 11\r\n", false},
    };
    for (auto& c : cases) {
        ScriptedChannel channel(c.replies);
        CheckRun run;
        RunCheck(run, channel);
        Strings log = run.log.Texts();
        ASSERT_GE(log.size(), c.quit ? 3u : 2u) << c.name;
        EXPECT_EQ(log.back(), "pop3 socket delete\r\n") << c.name;
        log.pop_back();
        if (c.quit) {
            EXPECT_EQ(log.back(), "quit\r\n") << c.name;
            EXPECT_EQ(channel.sent.back(), "quit\r\n") << c.name;
            log.pop_back();
        }
        EXPECT_EQ(cp932ToUtf8(log.back()), c.text) << c.name;
    }
}

TEST(PopCheckDialogue, SendFailuresEndTheCheckExceptAtQuit) {
    {
        ScriptedChannel channel({{kGreeting}});
        channel.failSendAt = 0;  // USER
        CheckRun run;
        RunCheck(run, channel);
        EXPECT_EQ(run.unread, std::nullopt);
        EXPECT_TRUE(run.log.has("ERROR     = -1\r\nLASTERROR = 32\r\n"));
    }
    {
        ScriptedChannel channel(
            {{kGreeting}, {"+OK\r\n"}, {"+OK a has 2 messages\r\n"}, {"+OK 0\r\n"}});
        channel.failSendAt = 3;  // QUIT
        CheckRun run;
        RunCheck(run, channel);
        EXPECT_EQ(run.unread, 2u);
        EXPECT_TRUE(run.log.has("ERROR     = -1\r\nLASTERROR = 32\r\n"));
        EXPECT_EQ(run.log.Texts().back(), "pop3 socket delete\r\n");
    }
}

TEST(PopCheckDialogue, AStopDuringTheUserWaitEndsAtOnceWithoutQuit) {
    ScriptedChannel channel({{kGreeting}});
    std::atomic<int> stop{0};
    channel.onWait = [&](int waits) {
        if (waits == 5) stop = 1;
    };
    RecordingLogSink log;
    PopCheckDialogue dialogue(channel, log, stop, Quick());
    EXPECT_EQ(dialogue.Run("alice", "pw"), std::nullopt);
    EXPECT_EQ(channel.sent, Strings{"user alice\r\n"});
    EXPECT_EQ(log.Texts().back(), "pop3 socket delete (at processing)\r\n");
    EXPECT_FALSE(log.has("pop3 socket delete\r\n"));
    EXPECT_EQ(channel.waits, 5);
}

TEST(PopCheckDialogue, AStopDuringTheLastWaitIsNotTested) {
    ScriptedChannel channel({{kGreeting}, {"+OK\r\n"}, {"+OK a has 4 messages\r\n"}, {}});
    std::atomic<int> stop{0};
    channel.onWait = [&](int) {
        if (channel.sent.size() == 3) stop = 1;  // once LAST is out
    };
    RecordingLogSink log;
    PopCheckDialogue dialogue(channel, log, stop, Quick());
    EXPECT_EQ(dialogue.Run("alice", "pw"), std::nullopt);
    EXPECT_TRUE(log.has("ERROR     = -1\r\nLASTERROR = 11\r\n"));
    EXPECT_FALSE(log.has("pop3 socket delete (at processing)\r\n"));
}

// Random bytes as replies, in random pieces: whatever arrives, the dialogue stays inside its
// areas (the sanitizer build watches), sends only its own commands and never logs the password.
TEST(PopCheckDialogue, ArbitraryRepliesKeepTheDialogueInBounds) {
    std::mt19937 random(20240519);
    const std::vector<std::string> starts = {"+OK ", "+ok has ", "-ERR ", "+OK a has 7 ", ""};
    auto piece = [&] {
        std::string text = starts[random() % starts.size()];
        const std::size_t length = random() % 1500;
        for (std::size_t i = 0; i < length; ++i) text.push_back(static_cast<char>(random() % 256));
        if (random() % 2) text += "\r\n";
        return text;
    };
    const Strings allowed = {"user alice\r\n", "pass s3cret\r\n", "last\r\n", "quit\r\n"};
    for (int round = 0; round < 300; ++round) {
        test::Replies replies;
        for (int r = 0; r < 4; ++r) {
            const std::string reply = piece();
            std::vector<std::string> chunks;
            for (std::size_t at = 0; at < reply.size();) {
                const std::size_t n = 1 + random() % 700;
                chunks.push_back(reply.substr(at, n));
                at += n;
            }
            replies.push_back(chunks);
        }
        ScriptedChannel channel(replies);
        CheckRun run;
        RunCheck(run, channel);
        ASSERT_LE(run.sent.size(), allowed.size());
        for (std::size_t i = 0; i < run.sent.size(); ++i) {
            if (run.sent[i] == "quit\r\n") continue;  // QUIT may come before LAST
            ASSERT_EQ(run.sent[i], allowed[i]);
        }
        ASSERT_FALSE(run.log.mentions("s3cret"));
        // A reply fills at most the 1,024-byte buffer; its control bytes are logged as escapes
        // of up to four characters.
        for (const auto& text : run.log.Texts()) ASSERT_LT(text.size(), 4 * 1024u);
    }
}

}  // namespace
}  // namespace kestrel
