#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mail/UidlListing.h"

namespace kestrel::pop3 {
namespace {

using namespace std::string_literals;
using State = UidlListing::State;
using Strings = std::vector<std::string>;

TEST(UidlListing, Listings) {
    const std::string seventy(70, 'u');
    struct Case {
        const char* name;
        std::string bytes;
        State state;
        Strings uidls;
    } cases[] = {
        {"two messages",
         "+OK\r\n1 whq\r\n2 QhdPYR:00WBw1Ph7x7\r\n.\r\n",
         State::Done,
         {"whq", "QhdPYR:00WBw1Ph7x7"}},
        {"empty box", "+OK 0 messages\r\n.\r\n", State::Done, {}},
        {"refused", "-ERR Unknown command\r\n", State::Refused, {}},
        {"bare line feeds", "+OK\n1 a\n.\n", State::Done, {"a"}},
        {"uidl of dots", "+OK\r\n1 ..x\r\n.\r\n", State::Done, {"..x"}},
        {"several blanks and a trailing word",
         "+OK\r\n1   abc extra\r\n.\r\n",
         State::Done,
         {"abc"}},
        {"seventy bytes", "+OK\r\n1 " + seventy + "\r\n.\r\n", State::Done, {seventy}},
        {"seventy-one bytes", "+OK\r\n1 " + seventy + "u\r\n.\r\n", State::Malformed, {}},
        {"bytes outside printable ASCII",
         "+OK\r\n1 \x82\xa0\x01\x7f\xff\r\n2 a\0b\r\n.\r\n"s,
         State::Done,
         {"\x82\xa0\x01\x7f\xff", "a\0b"s}},
        {"no number", "+OK\r\nabc\r\n.\r\n", State::Malformed, {}},
        {"no uidl", "+OK\r\n1\r\n.\r\n", State::Malformed, {}},
        {"no blank", "+OK\r\n1abc\r\n.\r\n", State::Malformed, {}},
        {"an endless line", "+OK\r\n1 " + std::string(5000, 'x'), State::Lines, {}},
        {"an overlong line, ended",
         "+OK\r\n1 " + std::string(5000, 'x') + "\r\n.\r\n",
         State::Malformed,
         {}},
        {"cut before the end", "+OK\r\n1 a\r\n2 b\r\n", State::Lines, {"a", "b"}},
        {"bytes after the end are not read", "+OK\r\n1 a\r\n.\r\n2 b\r\n", State::Done, {"a"}},
    };
    for (const auto& c : cases) {
        UidlListing listing;
        listing.Feed(c.bytes);
        EXPECT_EQ(listing.CurrentState(), c.state) << c.name;
        EXPECT_EQ(listing.Uidls(), c.uidls) << c.name;
    }
}

TEST(UidlListing, BytesInAnyPiecesGiveTheSameListing) {
    const std::string bytes = "+OK listing follows\r\n1 a-1\r\n2 .b\r\n10 \xe3\x81\x82\r\n.\r\n";
    const Strings expected = {"a-1", ".b", "\xe3\x81\x82"};
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
        for (std::size_t cut2 = cut; cut2 <= bytes.size(); cut2 += 3) {
            UidlListing listing;
            listing.Feed(std::string_view(bytes).substr(0, cut));
            listing.Feed(std::string_view(bytes).substr(cut, cut2 - cut));
            listing.Feed(std::string_view(bytes).substr(cut2));
            ASSERT_EQ(listing.CurrentState(), State::Done) << cut << " " << cut2;
            ASSERT_EQ(listing.Uidls(), expected) << cut << " " << cut2;
            EXPECT_EQ(listing.StatusLine(), "+OK listing follows");
        }
    }
}

TEST(UidlListing, AHundredThousandMessagesAreReadAndMoreAreRefused) {
    auto make = [](std::size_t count) {
        std::string bytes = "+OK\r\n";
        for (std::size_t i = 1; i <= count; ++i) {
            bytes += std::to_string(i) + " 000" + std::to_string(i) + "-" + std::string(60, 'z') +
                     "\r\n";
        }
        return bytes + ".\r\n";
    };
    UidlListing big;
    big.Feed(make(100000));
    ASSERT_EQ(big.CurrentState(), State::Done);
    EXPECT_EQ(big.Uidls().size(), 100000u);
    EXPECT_EQ(big.Uidls().back(), "000100000-" + std::string(60, 'z'));

    UidlListing tooMany;
    tooMany.Feed(make(UidlListing::kMaxMessages + 1));
    EXPECT_EQ(tooMany.CurrentState(), State::TooMany);
    EXPECT_TRUE(tooMany.Uidls().empty());
}

}  // namespace
}  // namespace kestrel::pop3
