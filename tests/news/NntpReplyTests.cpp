#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <string>
#include <vector>

#include "news/NntpReply.h"
#include "news/NntpReplyReader.h"
#include "tests/fakes/ScriptedChannel.h"
#include "tests/news/NewsTestSupport.h"

namespace kestrel {
namespace {

TEST(NntpReply, A200Or201GreetingIsReady) {
    EXPECT_TRUE(nntp::IsReady("200 news.example InterNetNews NNRP server ready\r\n"));
    EXPECT_TRUE(nntp::IsReady("200"));
    EXPECT_TRUE(nntp::IsReady("201 news.example ready (no posting)\r\n"));
    for (const char* refused : {"202 x\r\n", "20", "", "400 go away\r\n", " 200 x"}) {
        EXPECT_FALSE(nntp::IsReady(refused)) << refused;
    }
}

TEST(NntpReply, TheLastNumberOfAGroupReply) {
    const struct {
        const char* reply;
        std::int32_t last;
    } cases[] = {
        {"211 10 20 120 fj.a\r\n", 120},
        {"211 10 20 100 fj.a", 100},
        {"211 0 0 0 fj.empty\r\n", 0},
        {"211  10   20\t 120 fj.a\r\n", 120},  // runs of blanks between the fields
        {"211 10 20 120\r\n", 120},            // no group name
        {"211 10 20\r\n", 0},                  // no third field
        {"211 10 20 \r\n", 0},
        {"211", 0},
        {"211 ", 0},
        {"411 no such group\r\n", 0},
        {"212 10 20 120 fj.a\r\n", 0},
        {"211 1 1 2147483647 fj.a\r\n", INT_MAX},
        {"211 1 1 99999999999999999999 fj.a\r\n", INT_MAX},  // held at the top, no overflow
        {"211 1 1 -7 fj.a\r\n", -7},
        {"211 1 1 x9 fj.a\r\n", 0},
        {"211 1 1 12abc fj.a\r\n", 12},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nntp::ParseGroupLast(c.reply), c.last) << c.reply;
    }
}

TEST(NntpReply, NumbersReadAsTheCLibraryReadsThem) {
    const struct {
        const char* text;
        std::int32_t value;
    } cases[] = {
        {"", 0},
        {"0", 0},
        {"1234", 1234},
        {"  42", 42},
        {"+5", 5},
        {"-5", -5},
        {"12:34", 12},
        {"abc", 0},
        {"- 5", 0},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN},
        {"000000000000000000000000000017", 17},
        {"184467440737095516161844674407370955161", INT_MAX},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nntp::ParseNumber(c.text), c.value) << c.text;
    }
}

TEST(NntpReply, GroupCommandRefusesLineBreaks) {
    std::string command = "unchanged";
    EXPECT_TRUE(nntp::BuildGroupCommand("fj.news.misc", command));
    EXPECT_EQ(command, "group fj.news.misc\r\n");
    for (const std::string& name :
         {std::string("fj.a\rquit"), std::string("fj.a\nquit"), std::string("fj.a\0x", 6)}) {
        command = "unchanged";
        EXPECT_FALSE(nntp::BuildGroupCommand(name, command));
        EXPECT_EQ(command, "unchanged");
    }
}

// The reader over a channel that hands out the bytes in the given chunks.
struct ReadCase {
    std::vector<std::string> chunks;
    std::vector<std::string> replies;  // what successive reads give
};

std::vector<std::string> ReadAll(const std::vector<std::string>& chunks, std::size_t count) {
    test::ScriptedChannel channel({chunks});
    NntpReplyReader reader;
    std::atomic<int> closing{0};
    Timing timing;
    timing.pollSlices = 3;
    std::vector<std::string> out;
    for (std::size_t i = 0; i < count; ++i) {
        const auto result = reader.Read(channel, closing, timing);
        out.push_back(result.outcome == NntpReplyReader::Outcome::Reply ? std::string(reader.Text())
                                                                        : "<nothing>");
    }
    return out;
}

TEST(NntpReplyReader, AReplySplitAtEveryByteReadsTheSame) {
    const std::string bytes = "200 ready\r\n211 10 20 120 fj.a\r\n";
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
        for (std::size_t cut2 = cut; cut2 <= bytes.size(); ++cut2) {
            const std::vector<std::string> chunks = {
                bytes.substr(0, cut), bytes.substr(cut, cut2 - cut), bytes.substr(cut2)};
            EXPECT_EQ(
                ReadAll(chunks, 3),
                (std::vector<std::string>{"200 ready\r\n", "211 10 20 120 fj.a\r\n", "<nothing>"}))
                << cut << "/" << cut2;
        }
    }
}

TEST(NntpReplyReader, EdgesOfTheReplyArea) {
    const std::string longLine = "211 1 2 3 " + std::string(3000, 'x') + "\r\n";
    const struct {
        const char* name;
        std::vector<std::string> chunks;
        std::vector<std::string> replies;
    } cases[] = {
        {"a reply of 1,024 bytes and more is cut to the area and the next one is whole",
         {longLine.substr(0, 1500), longLine.substr(1500) + "411 x\r\n"},
         {longLine.substr(0, 1023), "411 x\r\n"}},
        {"a line without its line end is taken when the wait runs out",
         {"41"},
         {"41", "<nothing>"}},
        {"the rest of a line taken when the wait ran out is no reply of its own",
         {"4", "1", " ", "x", "\r\n", "200 ok\r\n"},
         {"41 ", "200 ok\r\n"}},
        {"a bare line end is a reply of two bytes", {"\r\n"}, {"\r\n"}},
        {"a lone LF ends a line", {"200 ok\n211 1 1 1 g\n"}, {"200 ok\n", "211 1 1 1 g\n"}},
        {"nothing at all", {}, {"<nothing>"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadAll(c.chunks, c.replies.size()), c.replies) << c.name;
    }
}

TEST(NntpReplyReader, AStopIsSeenBeforeTheNextSlice) {
    test::ScriptedChannel channel({});
    NntpReplyReader reader;
    std::atomic<int> closing{1};
    const auto result = reader.Read(channel, closing, Timing{});
    EXPECT_EQ(result.outcome, NntpReplyReader::Outcome::Stopped);
    EXPECT_EQ(channel.waits, 0);
}

TEST(NntpReplyReader, NothingReportsTheLastReadAndTheError) {
    test::ScriptedChannel channel({});
    NntpReplyReader reader;
    std::atomic<int> closing{0};
    Timing timing;
    timing.pollSliceMs = 0;
    const auto result = reader.Read(channel, closing, timing);
    EXPECT_EQ(result.outcome, NntpReplyReader::Outcome::Nothing);
    EXPECT_EQ(channel.waits, 100);  // the described budget: 100 slices
    EXPECT_EQ(result.lastRead, -1);
    EXPECT_EQ(result.lastError, test::ScriptedChannel::kWouldBlock);
}

}  // namespace
}  // namespace kestrel
