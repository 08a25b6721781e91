#include <gtest/gtest.h>

#include <string>

#include "mail/Pop3Reply.h"
#include "mail/ReplyBuffer.h"
#include "res/Cp932.h"
#include "res/Text.h"
#include "res/TextsMail.h"

namespace kestrel {
namespace {

using namespace pop3;

TEST(Pop3Reply, PositiveMeansPlusOkInTheFirstThreeBytesInAnyCase) {
    struct Case {
        const char* reply;
        bool positive;
    } cases[] = {
        {"+OK\r\n", true},      {"+ok ready\r\n", true}, {"+oK", true}, {"+OKAY\r\n", true},
        {"-ERR no\r\n", false}, {"+O", false},           {"", false},   {" +OK\r\n", false},
        {"OK+\r\n", false},     {"+0K\r\n", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsPositiveReply(c.reply), c.positive) << c.reply;
}

TEST(Pop3Reply, MessageTotalIsTheWordAfterHas) {
    struct Case {
        const char* reply;
        std::uint32_t total;
    } cases[] = {
        {"+OK alice has 3 messages (1234 octets)\r\n", 3},
        {"+OK alice has 0 messages (0 octets)\r\n", 0},
        {"+OK alice has 42 message(s)\r\n", 42},
        {"+OK alice has 7x messages\r\n", 7},                 // leading digits only
        {"+OK alice has x7 messages\r\n", 0},                 // no leading digits
        {"+OK alice has 12\r\n", 0},                          // no space ends the word
        {"+OK alice has", 0},                                 // nothing after "has"
        {"+OK 5 messages\r\n", 0},                            // no "has", fourth byte a space
        {"+OK5 messages\r\n", 5},                             // no "has": from the fourth byte on
        {"+OK chase has 4 messages\r\n", 0},                  // the first "has" is inside "chase"
        {"+OK u has 99999999999 messages\r\n", 4294967295u},  // held at the maximum
        {"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseMessageTotal(c.reply), c.total) << c.reply;
}

TEST(Pop3Reply, LastNumberIsTheWordAfterTheStatusUpToTheLineEnd) {
    struct Case {
        const char* reply;
        std::uint32_t last;
    } cases[] =
        {
            {"+OK 2\r\n", 2},  {"+OK 0\r\n", 0}, {"+OK 17 seen\r\n", 17},
            {"+OK 2", 0},  // no "\r": nothing is left
            {"+OK 2\n", 0},    {"+OK\r\n", 0},   {"+OK x\r\n", 0},
            {"+OK 3x\r\n", 3}, {"+OK", 0},       {"", 0},
        };
    for (const auto& c : cases) EXPECT_EQ(ParseLastNumber(c.reply), c.last) << c.reply;
}

TEST(Pop3Reply, CommandsGoOutWholeOrNotAtAll) {
    std::string out = "untouched";
    EXPECT_EQ(BuildCommand("user %s\r\n", "alice", out), CommandFault::None);
    EXPECT_EQ(out, "user alice\r\n");

    // "pass " + field + "\r\n" and the zero byte fill the 128-byte area at 120 bytes.
    const std::string fits(120, 'p');
    EXPECT_EQ(BuildCommand("pass %s\r\n", fits, out), CommandFault::None);
    EXPECT_EQ(out.size(), 127u);

    out = "untouched";
    EXPECT_EQ(BuildCommand("pass %s\r\n", std::string(121, 'p'), out), CommandFault::TooLong);
    EXPECT_EQ(BuildCommand("user %s\r\n", std::string(5000, 'u'), out), CommandFault::TooLong);
    EXPECT_EQ(BuildCommand("user %s\r\n", "alice\r\nDELE 1", out), CommandFault::LineBreak);
    EXPECT_EQ(BuildCommand("user %s\r\n", "alice\rx", out), CommandFault::LineBreak);
    EXPECT_EQ(BuildCommand("user %s\r\n", "alice\nx", out), CommandFault::LineBreak);
    EXPECT_EQ(BuildCommand("user %s\r\n", std::string("al\0ice", 6), out), CommandFault::LineBreak);
    EXPECT_EQ(out, "untouched");
}

TEST(Pop3Reply, RejectionQuotesTheReplyWhenItFits) {
    const std::string text = FormatRejection(sjis(txt::kPopUserRejectedFormat), "alice",
                                             "-ERR unknown\r\n", kCheckFailureAreaSize);
    EXPECT_EQ(cp932ToUtf8(text),
              "protocol error\naliceはサーバに拒否されました\n-ERR unknown\r\n\n");
    // The text goes to the event log: a second line from the server stays inside the quote.
    EXPECT_EQ(
        cp932ToUtf8(FormatRejection(sjis(txt::kPopUserRejectedFormat), "alice",
                                    "-ERR no\r\n05/19 09:30:05  +OK\r\n", kCheckFailureAreaSize)),
        "protocol error\naliceはサーバに拒否されました\n-ERR no\\r\\n05/19 09:30:05  +OK\r\n\n");
}

TEST(Pop3Reply, RejectionOfALongReplyIsCutToItsAreaAtACharacterBoundary) {
    // A reply of double-byte characters, so every cut point but one splits a character.
    std::string reply = "-ERR ";
    for (int i = 0; i < 1000; ++i) reply += sjis(txt::kAuthFailedCaption);
    for (std::size_t area : {kCheckFailureAreaSize, kVerifyFailureAreaSize}) {
        for (const char* format : {txt::kPopUserRejectedFormat, txt::kAuthPasswordRejectedFormat}) {
            const std::string text = FormatRejection(sjis(format), "alice", reply, area);
            EXPECT_LE(text.size(), area - 1);
            EXPECT_GE(text.size(), area - 2);  // filled up to at most one byte short
            EXPECT_EQ(text.substr(0, 20), "protocol error\nalice");
            ASSERT_EQ(text.back(), '\n');
            // The quoted part ends on a whole character: converting back adds no U+FFFD.
            EXPECT_EQ(cp932ToUtf8(text).find("\xEF\xBF\xBD"), std::string::npos);
        }
    }
}

TEST(Pop3Reply, RejectionCutsTheUserOnlyWhenTheReplyIsGone) {
    const std::string user(400, 'u');
    const std::string text =
        FormatRejection(sjis(txt::kPopUserRejectedFormat), user, "-ERR\r\n", kCheckFailureAreaSize);
    EXPECT_EQ(text.size(), kCheckFailureAreaSize - 1);
    EXPECT_EQ(text.find("-ERR"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 2), "\n\n");
}

TEST(ReplyBuffer, KeepsAtMost1023BytesAndStillSeesTheLineEndOfALongLine) {
    ReplyBuffer reply;
    const std::string longLine = "+OK " + std::string(1996, 'x') + "\r\n";  // 2,002 bytes
    reply.Append(longLine.data(), 1000);
    EXPECT_FALSE(reply.HasLineEnd());
    reply.Append(longLine.data() + 1000, longLine.size() - 1000);
    EXPECT_TRUE(reply.HasLineEnd());
    EXPECT_EQ(reply.Text().size(), ReplyBuffer::kMaxText);
    EXPECT_EQ(reply.Text(), std::string_view(longLine).substr(0, 1023));
    EXPECT_EQ(reply.CStr()[1023], '\0');
}

TEST(ReplyBuffer, LineEndNeedsAByteBeforeItAndMayBeSplitAcrossReads) {
    ReplyBuffer reply;
    reply.Append("\r\n", 2);
    EXPECT_FALSE(reply.HasLineEnd());  // "\r\n" at the very start does not end a reply
    reply.Append("\r", 1);
    EXPECT_FALSE(reply.HasLineEnd());
    reply.Append("\n", 1);
    EXPECT_TRUE(reply.HasLineEnd());

    reply.Clear();
    EXPECT_EQ(reply.Text(), "");
    reply.Append("+OK\r", 4);
    EXPECT_FALSE(reply.HasLineEnd());
    reply.Append("\n", 1);
    EXPECT_TRUE(reply.HasLineEnd());
    EXPECT_EQ(reply.Text(), "+OK\r\n");
}

TEST(ReplyBuffer, AReadIsTextUpToItsFirstZeroByte) {
    ReplyBuffer reply;
    reply.Append("+OK\0junk", 8);
    reply.Append(" more\r\n", 7);
    EXPECT_EQ(reply.Text(), "+OK more\r\n");
    EXPECT_TRUE(reply.HasLineEnd());
}

}  // namespace
}  // namespace kestrel
