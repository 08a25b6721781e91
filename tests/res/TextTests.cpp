// The text pieces every layer shares: filling a fixed text, and cutting CP932 text to a
// field without splitting a character.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>

#include "res/Cp932.h"
#include "res/Text.h"
#include "res/TextsMail.h"

namespace kestrel {
namespace {

TEST(FillText, TakesTheMarkersInOrderAndLeavesMissingOnesAsWritten) {
    EXPECT_EQ(FillNumbers(sjis(txt::kPopErrorFormat), -1, 110),
              "ERROR     = -1\r\nLASTERROR = 110\r\n");
    struct Case {
        const char* format;
        std::initializer_list<std::string_view> args;
        const char* filled;
    } cases[] = {
        {"a%sb%dc", {"1", "2"}, "a1b2c"},
        // A marker inside a filled-in value is text, not a marker.
        {"a%sb%sc", {"%s%d", "x"}, "a%s%dbxc"},
        // Too few values: the markers left over stay, in the log they show what is missing.
        {"only %s", {}, "only %s"},
        {"%s/%d %x", {"a"}, "a/%d %x"},
        // Too many: the extra ones are not used.
        {"%s", {"a", "b"}, "a"},
        // Only %s and %d are markers; a lone % at the end is text.
        {"100%", {"a"}, "100%"},
        {"%x%%s", {"a"}, "%x%a"},
    };
    for (const Case& c : cases) EXPECT_EQ(FillText(c.format, c.args), c.filled) << c.format;
}

TEST(Cp932Field, PrefixNeverEndsOnALeadByte) {
    const std::string kana = utf8ToCp932("認証結果");  // four double-byte characters
    ASSERT_EQ(kana.size(), 8u);
    struct Case {
        std::string text;
        std::size_t max;
        std::size_t length;
    } cases[] = {
        {kana, 8, 8},
        {kana, 7, 6},
        {kana, 1, 0},
        {kana, 0, 0},
        {"a" + kana, 2, 1},
        {"a" + kana, 3, 3},
        {"abc", 2, 2},
        {"abc", 10, 3},
        {"\x83", 0, 0},
        {std::string("ab\x83"), 3, 3},  // a lone lead byte at the end is one byte
    };
    for (const auto& c : cases) EXPECT_EQ(Cp932PrefixLength(c.text, c.max), c.length) << c.max;
}

TEST(Cp932Field, CopyIsZeroTerminatedZeroFilledAndCutAtACharacter) {
    const std::string a = utf8ToCp932("あ");
    struct Case {
        std::string text;
        std::string kept;
    } cases[] = {
        {"abc", "abc"},
        {"abcde", "abcd"},     // five bytes do not fit the four text bytes of a
        {"abc" + a, "abc"},    // five-byte field; nor does half a character
        {"ab" + a, "ab" + a},  // a whole one does
        {"", ""},
    };
    for (const Case& c : cases) {
        char field[5];
        std::memset(field, 'x', sizeof field);
        CopyField(field, c.text);
        EXPECT_EQ(std::string(field), c.kept) << c.text;
        for (std::size_t i = c.kept.size(); i < sizeof field; ++i) EXPECT_EQ(field[i], '\0') << i;
    }
    char none[1] = {'x'};
    CopyField(none, "abc");
    EXPECT_EQ(none[0], '\0');
    CopyField(none, 0, "abc");  // a field of no size is left alone
    EXPECT_EQ(none[0], '\0');
}

}  // namespace
}  // namespace kestrel
