#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "settings/InputChecks.h"

namespace kestrel {
namespace {

TEST(InputChecks, NumericFieldsTakeOnlyPlainUnsignedNumbers) {
    struct Case {
        const char* text;
        std::optional<unsigned> want;
    };
    const Case cases[] = {
        {"0", 0u},
        {"3", 3u},
        {" 60\t", 60u},
        {"4294967295", 4294967295u},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"-1", std::nullopt},
        {"+5", std::nullopt},
        {"1 2", std::nullopt},
        {"4294967296", std::nullopt},
        {"12345678901234567890", std::nullopt},
        {"\x82\x52", std::nullopt},  // full-width 3
        {"3\x82\x4f", std::nullopt},
        {"0x10", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseUnsignedField(c.text), c.want) << c.text;
}

TEST(InputChecks, BroadcastAddressesAreReadPartByPart) {
    const char* accepted[] = {"192.168.10.255", "0.0.0.0", "12a.1.1.1", "1.2.3.255", " 7.1.1.1"};
    const char* refused[] = {"192.168.10", "1.2.3.4.5",        "256.1.1.1", "1..1.1",
                             "00.1.1.1",   "-1.1.1.1",         "",          "1.1.1.1.",
                             "a.1.1.1",    "99999999999.1.1.1"};
    for (const char* a : accepted) EXPECT_TRUE(IsAcceptedBroadcastAddress(a)) << a;
    for (const char* r : refused) EXPECT_FALSE(IsAcceptedBroadcastAddress(r)) << r;
}

TEST(InputChecks, NumericAddressesAreFourDecimalPartsAndNothingElse) {
    const char* numeric[] = {"192.168.10.255", "0.0.0.0", "255.255.255.255", "10.1.0.9"};
    const char* refused[] = {"12a.1.1.1", " 7.1.1.1",  "7.1.1.1 ",   "01.1.1.1", "1.2.3",
                             "1.2.3.4.5", "256.1.1.1", "1000.1.1.1", "",         "host.example",
                             "1..1.1",    "1.1.1.1.",  "0x1.1.1.1"};
    for (const char* a : numeric) EXPECT_TRUE(IsNumericBroadcastAddress(a)) << a;
    for (const char* r : refused) EXPECT_FALSE(IsNumericBroadcastAddress(r)) << r;
}

TEST(InputChecks, NicknamesRefuseDelimitersButNotTheTrailBytesOfDoubleByteCharacters) {
    EXPECT_TRUE(IsAcceptedNickname("yamada"));
    EXPECT_TRUE(IsAcceptedNickname(""));
    for (const char* bad : {"ya:mada", "[yamada", "yamada]", "<y", "y>"})
        EXPECT_FALSE(IsAcceptedNickname(bad)) << bad;
    // "ー" (81 5B) and "ア" (83 41) then "ン" (83 93): 0x5B is '[' only as a first byte.
    EXPECT_TRUE(IsAcceptedNickname("\x81\x5b\x83\x41\x83\x93"));
    EXPECT_FALSE(IsAcceptedNickname("\x81\x5b]"));
    // A lone lead byte at the end swallows nothing and refuses nothing.
    EXPECT_TRUE(IsAcceptedNickname("abc\x83"));
}

}  // namespace
}  // namespace kestrel
