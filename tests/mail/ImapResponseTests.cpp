#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mail/ImapResponse.h"

namespace kestrel {
namespace {

using imap::Response;
using imap::ResponseReader;
using Kind = Response::Kind;

std::vector<Response> ReadAll(ResponseReader& reader) {
    std::vector<Response> out;
    while (auto r = reader.Next()) out.push_back(std::move(*r));
    return out;
}

TEST(ImapResponse, LinesAreSplitIntoTheirParts) {
    struct Case {
        const char* bytes;
        Kind kind;
        const char* tag;
        std::optional<std::uint32_t> number;
        const char* keyword;
        const char* code;
        const char* text;
    } cases[] = {
        {"* OK [CAPABILITY IMAP4rev1 IDLE] ready\r\n",
         Kind::Untagged,
         "",
         {},
         "OK",
         "CAPABILITY IMAP4rev1 IDLE",
         "ready"},
        {"k1 NO [AUTHENTICATIONFAILED] Authentication failed.\r\n",
         Kind::Tagged,
         "k1",
         {},
         "NO",
         "AUTHENTICATIONFAILED",
         "Authentication failed."},
        {"k7 ok done\r\n", Kind::Tagged, "k7", {}, "OK", "", "done"},
        {"* 23 EXISTS\r\n", Kind::Untagged, "", 23u, "EXISTS", "", ""},
        {"* 4294967295 FETCH (FLAGS (\\Seen))\r\n", Kind::Untagged, "", 4294967295u, "FETCH", "",
         "(FLAGS (\\Seen))"},
        {"+ idling\r\n", Kind::Continuation, "", {}, "", "", "idling"},
        {"+\r\n", Kind::Continuation, "", {}, "", "", ""},
        {"* BYE [UNAVAILABLE] shutting down\n",
         Kind::Untagged,
         "",
         {},
         "BYE",
         "UNAVAILABLE",
         "shutting down"},
        // A code that never closes is text.
        {"* OK [ALERT broken\r\n", Kind::Untagged, "", {}, "OK", "", "[ALERT broken"},
    };
    for (const auto& c : cases) {
        ResponseReader reader;
        reader.Feed(c.bytes);
        auto all = ReadAll(reader);
        ASSERT_EQ(all.size(), 1u) << c.bytes;
        const Response& r = all[0];
        EXPECT_FALSE(reader.Broken()) << c.bytes;
        EXPECT_EQ(r.kind, c.kind) << c.bytes;
        EXPECT_EQ(r.tag, c.tag) << c.bytes;
        EXPECT_EQ(r.number, c.number) << c.bytes;
        EXPECT_EQ(r.keyword, c.keyword) << c.bytes;
        EXPECT_EQ(r.code, c.code) << c.bytes;
        EXPECT_EQ(r.text, c.text) << c.bytes;
    }
}

TEST(ImapResponse, TheSameResponsesComeOutHoweverTheStreamIsCut) {
    const std::string stream =
        "* OK ready\r\n"
        "* STATUS {5}\r\nINBOX (MESSAGES 9 UNSEEN 2)\r\n"
        "* 3 EXISTS\r\n"
        "k2 OK STATUS completed\r\n";
    for (std::size_t cut1 = 0; cut1 <= stream.size(); ++cut1) {
        for (std::size_t cut2 = cut1; cut2 <= stream.size(); cut2 += 7) {
            ResponseReader reader;
            reader.Feed(stream.substr(0, cut1));
            reader.Feed(stream.substr(cut1, cut2 - cut1));
            reader.Feed(stream.substr(cut2));
            const auto all = ReadAll(reader);
            ASSERT_EQ(all.size(), 4u) << cut1 << "/" << cut2;
            EXPECT_EQ(all[1].literals, std::vector<std::string>{"INBOX"});
            EXPECT_EQ(imap::StatusUnseen(all[1]), 2u);
            EXPECT_EQ(all[2].number, 3u);
            EXPECT_EQ(all[3].tag, "k2");
            EXPECT_EQ(reader.Pending(), 0u);
        }
    }
}

TEST(ImapResponse, AHalfResponseWaitsForTheRest) {
    ResponseReader reader;
    reader.Feed("* STATUS {10}\r\nINB");
    EXPECT_FALSE(reader.Next());
    EXPECT_GT(reader.Pending(), 0u);
    reader.Feed("OX.Sent (UNSEEN 1)\r\nk1 OK");
    auto r = reader.Next();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->literals, std::vector<std::string>{"INBOX.Sent"});
    EXPECT_EQ(imap::StatusUnseen(*r), 1u);
    EXPECT_FALSE(reader.Next());
    EXPECT_FALSE(reader.Broken());
}

// A server's stream that no honest server sends ends the dialogue, and nothing is kept from
// the sizes it claims.
TEST(ImapResponse, BrokenStreamsBreakTheReaderForGood) {
    const std::string longLine = "* OK " + std::string(imap::kMaxLine, 'x');
    struct Case {
        std::string bytes;
        const char* fault;
    } cases[] = {
        {"* STATUS {65537}\r\n", "literal over the cap"},
        {"* STATUS {99999999999999999999999}\r\n", "literal over the cap"},
        {longLine, "line too long"},
        {longLine + "\r\n", "line too long"},
        {std::string("* OK a\0b\r\n", 10), "zero byte in a line"},
        {"\r\n", "no tag"},
        {"(k1) OK\r\n", "no tag"},
        {"k1\r\n", "no keyword"},
        {"k1 EXISTS\r\n", "tagged response without a status"},
        {"* 99999999999 EXISTS\r\n", "number out of range"},
        {"* OK\r\n" + std::string(5, 'x') + "* A {60000}\r\n" + std::string(60000, 'y') +
             "{60000}\r\n" + std::string(60000, 'y') + "{60000}\r\n" + std::string(60000, 'y') +
             "{60000}\r\n" + std::string(60000, 'y') + "{60000}\r\n",
         "response too long"},
    };
    for (const auto& c : cases) {
        ResponseReader reader;
        reader.Feed(c.bytes);
        ReadAll(reader);
        EXPECT_TRUE(reader.Broken()) << c.bytes.substr(0, 40);
        EXPECT_EQ(reader.Fault(), c.fault) << c.bytes.substr(0, 40);
        reader.Feed("* OK fine\r\n");
        EXPECT_FALSE(reader.Next());
    }
}

TEST(ImapResponse, CapabilitiesComeFromTheListOrTheCode) {
    ResponseReader reader;
    reader.Feed(
        "* OK [CAPABILITY IMAP4rev1 STARTTLS LOGINDISABLED] hi\r\n"
        "* CAPABILITY imap4rev1 idle AUTH=PLAIN\r\n"
        "* OK [ALERT] no list here\r\n");
    const auto all = ReadAll(reader);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(imap::Capabilities(all[0]),
              (std::set<std::string>{"IMAP4REV1", "STARTTLS", "LOGINDISABLED"}));
    EXPECT_EQ(imap::Capabilities(all[1]),
              (std::set<std::string>{"IMAP4REV1", "IDLE", "AUTH=PLAIN"}));
    EXPECT_FALSE(imap::Capabilities(all[2]));
}

TEST(ImapResponse, UnseenIsReadFromTheStatusList) {
    struct Case {
        const char* bytes;
        std::optional<std::uint32_t> unseen;
    } cases[] = {
        {"* STATUS INBOX (UNSEEN 4)\r\n", 4u},
        {"* STATUS \"INBOX\" (MESSAGES 10 unseen 0)\r\n", 0u},
        {"* STATUS \"In \\\"x\\\" box\" (UNSEEN 7)\r\n", 7u},
        {"* STATUS INBOX (MESSAGES 4)\r\n", {}},
        {"* STATUS INBOX (UNSEEN)\r\n", {}},
        {"* STATUS INBOX (UNSEEN -1)\r\n", {}},
        {"* STATUS INBOX (UNSEEN 99999999999)\r\n", {}},
        {"* STATUS INBOX UNSEEN 4\r\n", {}},
        {"* STATUS \"INBOX (UNSEEN 4)\r\n", {}},
        {"* LIST (UNSEEN 4)\r\n", {}},
        {"k1 OK (UNSEEN 4)\r\n", {}},
    };
    for (const auto& c : cases) {
        ResponseReader reader;
        reader.Feed(c.bytes);
        auto r = reader.Next();
        ASSERT_TRUE(r) << c.bytes;
        EXPECT_EQ(imap::StatusUnseen(*r), c.unseen) << c.bytes;
    }
}

TEST(ImapResponse, OnlyTheTemporaryCodesAreRefusalsForTheMoment) {
    struct Case {
        const char* bytes;
        bool temporary;
    } cases[] = {
        {"k1 NO [UNAVAILABLE] try later\r\n", true},
        {"k1 NO [INUSE] mailbox locked\r\n", true},
        {"k1 NO [limit] too many\r\n", true},
        {"* BYE [UNAVAILABLE] down\r\n", true},
        {"k1 NO [AUTHENTICATIONFAILED] wrong\r\n", false},
        {"k1 NO wrong\r\n", false},
        {"k1 OK [INUSE] odd but fine\r\n", false},
    };
    for (const auto& c : cases) {
        ResponseReader reader;
        reader.Feed(c.bytes);
        auto r = reader.Next();
        ASSERT_TRUE(r) << c.bytes;
        EXPECT_EQ(imap::IsTemporaryRefusal(*r), c.temporary) << c.bytes;
    }
}

TEST(ImapResponse, QuotingEscapesAndRefusesWhatNoQuotedStringHolds) {
    std::string out;
    EXPECT_TRUE(imap::AppendQuoted("a\"b\\c d", out));
    EXPECT_EQ(out, "\"a\\\"b\\\\c d\"");
    for (std::string bad : {std::string("a\r\n"), std::string("a\nb"), std::string("a\0b", 3),
                            std::string("\x83\x41")}) {
        std::string untouched = "x";
        EXPECT_FALSE(imap::AppendQuoted(bad, untouched));
        EXPECT_EQ(untouched, "x");
    }
}

}  // namespace
}  // namespace kestrel
