#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "mail/Pop3Count.h"

namespace kestrel::pop3 {
namespace {

TEST(Pop3Count, WhetherThePassReplyGivesACount) {
    struct Case {
        const char* reply;
        bool hasCount;
    } cases[] = {
        {"+OK alice has 3 messages (1234 octets)\r\n", true},
        {"+OK alice has 0 messages (0 octets)\r\n", true},
        // Read the classic way (as 0 unread) although the number is plain to see.
        {"+OK 5 messages\r\n", true},
        {"+OK Logged in.\r\n", false},
        {"+OK Mailbox locked and ready\r\n", false},
        {"+OK\r\n", false},
        {"+OK", false},
        {"+O", false},
        // The "+OK" itself is no count, even when it is all digits around.
        {"+OK has no messages\r\n", false},
    };
    for (const auto& c : cases) EXPECT_EQ(PassReplyHasCount(c.reply), c.hasCount) << c.reply;
}

TEST(Pop3Count, StatTotals) {
    struct Case {
        const char* reply;
        std::optional<std::uint32_t> total;
    } cases[] = {
        {"+OK 3 1234\r\n", 3u},
        {"+ok 0 0\r\n", 0u},
        {"+OK   12 9\r\n", 12u},
        {"+OK 7\r\n", 7u},
        {"+OK 99999999999999999999 1\r\n", 4294967295u},
        {"-ERR no STAT for you\r\n", std::nullopt},
        {"+OK\r\n", std::nullopt},
        {"+OK x 1\r\n", std::nullopt},
        {"+OK3 1\r\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseStatTotal(c.reply), c.total) << c.reply;
}

TEST(Pop3Count, TemporaryRefusalsByTheirResponseCodes) {
    struct Case {
        const char* reply;
        bool temporary;
    } cases[] = {
        {"-ERR [IN-USE] Mailbox is locked by another POP3 session\r\n", true},
        {"-ERR [LOGIN-DELAY] Wait a while\r\n", true},
        {"-ERR [SYS/TEMP] Try again later\r\n", true},
        {"-err [sys/temp/disk] full\r\n", true},
        {"-ERR [SYS/PERM] Gone for good\r\n", false},
        {"-ERR [AUTH] Authentication failed.\r\n", false},
        {"-ERR Authentication failed.\r\n", false},
        {"-ERR [IN-USER] not a code we know\r\n", false},
        {"-ERR [IN-USE\r\n", false},
        {"-ERR the box is [IN-USE] somewhere in the text\r\n", false},
        {"+OK [IN-USE]\r\n", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsTemporaryRefusal(c.reply), c.temporary) << c.reply;
}

TEST(Pop3Count, WhatIsSentAfterThePassword) {
    using Next = PopCountPlan::Next;
    struct Case {
        const char* name;
        std::vector<std::string> replies;  // PASS, then the replies to what the plan asked
        std::vector<Next> steps;           // what the plan asked after each reply
        std::optional<std::uint32_t> unread;
        std::uint32_t uidlCount = 0;  // what the listing counts, when one is asked for
    } cases[] = {
        {"classic, mail", {"+OK a has 5 messages\r\n", "+OK 2\r\n"}, {Next::Last, Next::Quit}, 3u},
        {"classic, empty", {"+OK a has 0 messages\r\n"}, {Next::Quit}, 0u},
        {"classic, last above total",
         {"+OK a has 5 messages\r\n", "+OK 6\r\n"},
         {Next::Last, Next::Quit},
         std::nullopt},
        {"classic count, LAST refused",
         {"+OK a has 5 messages\r\n", "-ERR what?\r\n", ""},
         {Next::Last, Next::Uidl, Next::Quit},
         4u,
         4},
        {"no count: STAT, LAST",
         {"+OK Logged in.\r\n", "+OK 4 100\r\n", "+OK 1\r\n"},
         {Next::Stat, Next::Last, Next::Quit},
         3u},
        {"no count, empty box: no LAST",
         {"+OK Logged in.\r\n", "+OK 0 0\r\n"},
         {Next::Stat, Next::Quit},
         0u},
        {"no count, no LAST: UIDL",
         {"+OK Logged in.\r\n", "+OK 4 100\r\n", "-ERR Unknown command: LAST\r\n", ""},
         {Next::Stat, Next::Last, Next::Uidl, Next::Quit},
         1u,
         1},
        {"STAT refused",
         {"+OK Logged in.\r\n", "-ERR\r\n"},
         {Next::Stat, Next::Fail},
         std::nullopt},
    };
    for (const auto& c : cases) {
        PopCountPlan plan;
        std::vector<Next> steps;
        Next next = plan.OnPass(c.replies[0]);
        steps.push_back(next);
        for (std::size_t i = 1; i < c.replies.size(); ++i) {
            switch (next) {
                case Next::Stat:
                    next = plan.OnStat(c.replies[i]);
                    break;
                case Next::Last:
                    next = plan.OnLast(c.replies[i]);
                    break;
                case Next::Uidl:
                    next = plan.OnUidl(c.uidlCount);
                    break;
                default:
                    break;
            }
            steps.push_back(next);
        }
        EXPECT_EQ(steps, c.steps) << c.name;
        if (next == Next::Quit) {
            EXPECT_EQ(plan.Unread(), c.unread) << c.name;
        }
    }
}

}  // namespace
}  // namespace kestrel::pop3
