#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include <arpa/inet.h>

#include "net/SocketSupport.h"

namespace kestrel::net {
namespace {

// A scripted stream: each entry is what one read offers (a count of bytes, 0 or -1). The
// read hands over at most what was asked.
struct ScriptedReads {
    std::vector<int> offers;
    std::vector<int> asked;
    char next = 'a';
    int operator()(char* into, int want) {
        asked.push_back(want);
        const int offer = asked.size() <= offers.size() ? offers[asked.size() - 1] : -1;
        if (offer <= 0) return offer;
        const int n = std::min(offer, want);
        for (int i = 0; i < n; ++i) into[i] = next;
        ++next;
        return n;
    }
};

TEST(ReadWithTopUp, ReadsOnceOrTopsUpOnce) {
    struct Case {
        const char* name;
        int readSize;
        std::vector<int> offers;
        int result;
        std::vector<int> asked;
    } const cases[] = {
        {"full read, no second", 256, {256, 100}, 256, {256}},
        {"short read topped up", 256, {100, 50, 70}, 150, {256, 156}},
        {"top-up never beyond read size", 256, {100, 500}, 256, {256, 156}},
        {"top-up finds nothing", 256, {100, -1}, 100, {256, 156}},
        {"top-up finds the end", 256, {100, 0}, 100, {256, 156}},
        {"peer closed", 256, {0}, 0, {256}},
        {"nothing to read", 256, {-1}, -1, {256}},
        {"small read size fills it", 16, {16, 16}, 16, {16}},
        {"small read size topped up", 16, {10, 10}, 16, {16, 6}},
        {"larger read size stays within the block", 300, {256}, 256, {256}},
        {"larger read size topped up within the block", 300, {200, 200}, 256, {256, 56}},
    };
    for (const auto& c : cases) {
        ScriptedReads reads{c.offers};
        char buffer[kEventDataSize + 64];
        std::fill(std::begin(buffer), std::end(buffer), '#');
        const int result = ReadWithTopUp(buffer, c.readSize, std::ref(reads));
        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_EQ(reads.asked, c.asked) << c.name;
        EXPECT_EQ(buffer[kEventDataSize], '#') << c.name << ": wrote past the block";
        if (c.offers.size() > 1 && result > c.offers[0] && c.offers[0] > 0) {
            EXPECT_EQ(buffer[c.offers[0]], 'b') << c.name << ": top-up not appended";
        }
    }
}

TEST(DataText, StopsAtZeroOrLength) {
    EXPECT_EQ(DataText("abc", 3), "abc");
    EXPECT_EQ(DataText("abcdef", 3), "abc");
    EXPECT_EQ(DataText("ab\0cd", 5), "ab");
    EXPECT_EQ(DataText("abc", -1), "");
    EXPECT_EQ(DataText(nullptr, 4), "");
}

TEST(DataText, OutsideTextCannotStartALineOfTheTrace) {
    const struct {
        std::string data;
        std::string text;
    } cases[] = {
        {"+OK ready\r\n", "+OK ready\r\n"},  // one line end at the end stays
        {"6193, 23\n", "6193, 23\n"},
        {"1, 2\r\n05/19 09:30:05  forged\r\n", "1, 2\\r\\n05/19 09:30:05  forged\r\n"},
        {"a\rb\tc\x1b[2J\x7f\r", "a\\rb\\tc\\x1b[2J\\x7f\\r"},
        {"\r\n\r\n", "\\r\\n\r\n"},
        {"\x83\x5c\x83\x7e", "\x83\x5c\x83\x7e"},  // double-byte text is left alone
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DataText(c.data.data(), static_cast<int>(c.data.size())), c.text) << c.data;
    }
}

TEST(ResolveHost, DottedNamesAndFailures) {
    sockaddr_in out{};
    struct Case {
        const char* host;
        int port;
        int result;
        const char* address;
    } const cases[] = {
        {"127.0.0.1", 110, 0, "127.0.0.1"}, {"127.1", 110, 0, "127.0.0.1"},
        {"localhost", 119, 0, "127.0.0.1"}, {"no-such-host.invalid", 110, EINVAL, nullptr},
        {"", 110, EINVAL, nullptr},         {"127.0.0.1", 70000, EINVAL, nullptr},
        {"127.0.0.1", -1, EINVAL, nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ResolveHost(c.host, c.port, out), c.result) << c.host;
        if (c.address) {
            char text[INET_ADDRSTRLEN];
            ::inet_ntop(AF_INET, &out.sin_addr, text, sizeof text);
            EXPECT_STREQ(text, c.address) << c.host;
            EXPECT_EQ(ntohs(out.sin_port), c.port);
        }
    }
}

}  // namespace
}  // namespace kestrel::net
