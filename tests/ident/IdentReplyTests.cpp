#include <gtest/gtest.h>

#include <string>

#include "ident/IdentReply.h"
#include "res/Cp932.h"

namespace kestrel::ident {
namespace {

TEST(IdentQuery, IsTheDataWithoutItsLastTwoBytesUpToAZeroByte) {
    struct Case {
        std::string data;
        std::optional<std::string> query;
    } cases[] = {
        {"6193, 23\r\n", "6193, 23"},
        {"6193, 23\n", "6193, 2"},  // a bare line feed takes the last character with it
        {"6193, 2", "6193,"},       // a first packet without a line end
        {"ab", ""},
        {"a", std::nullopt},
        {"", std::nullopt},
        {std::string("61\0"
                     "93, 23\r\n",
                     10),
         "61"},
        {std::string("\xff\x81\x40zz", 5), "\xff\x81\x40"},
        // Only the query line, never what follows it in the same packet, nor control bytes.
        {"1, 2\r\nforged: line\r\n", "1, 2"},
        {"1, 2\nforged\r\n", "1, 2"},
        {"1, 2\rX\r\n", "1, 2"},
        {"6\t1\x1b[2J93,\x7f 23\r\n", "61[2J93, 23"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QueryOf(c.data.data(), static_cast<int>(c.data.size())), c.query) << c.data;
    }
}

TEST(IdentReply, NamesTheUserAfterTheQuery) {
    EXPECT_EQ(BuildReply("6193, 23", "alice"), "6193, 23:USERID:MS-DOS:alice\r\n");
    EXPECT_EQ(BuildReply("", ""), ":USERID:MS-DOS:\r\n");
    EXPECT_EQ(BuildReplyLog(-42, "6193, 23:USERID:MS-DOS:alice\r\n"),
              "(socket = -42) 6193, 23:USERID:MS-DOS:alice\r\n");
}

TEST(IdentReply, LongQueriesAndUserIdsStayWithinTheLineArea) {
    const std::string kanjiUser = utf8ToCp932("山田太郎");  // 8 bytes, four double-byte letters
    struct Case {
        std::string query;
        std::string user;
        std::size_t queryKept;
        std::string userKept;
    } cases[] = {
        // The longest query one data event can carry, with an ordinary user id: the query
        // gives way.
        {std::string(254, 'q'), "alice", 255 - 17 - 5, "alice"},
        {std::string(233, 'q'), "alice", 233, "alice"},
        // A user id longer than the whole line: it is cut, the query goes entirely.
        {"6193, 23", std::string(300, 'u'), 0, std::string(238, 'u')},
        // A cut never splits a double-byte letter.
        {"", std::string(231, 'u') + kanjiUser, 0, std::string(231, 'u') + kanjiUser.substr(0, 6)},
    };
    for (const auto& c : cases) {
        const std::string reply = BuildReply(c.query, c.user);
        EXPECT_LE(reply.size(), kLineAreaSize - 1);
        EXPECT_EQ(reply, c.query.substr(0, c.queryKept) + ":USERID:MS-DOS:" + c.userKept + "\r\n");

        const std::string log = BuildReplyLog(-2147483647 - 1, reply);
        EXPECT_LE(log.size(), kLineAreaSize - 1);
        EXPECT_EQ(log.rfind("(socket = -2147483648) " + reply.substr(0, 10), 0), 0u);
    }
}

}  // namespace
}  // namespace kestrel::ident
