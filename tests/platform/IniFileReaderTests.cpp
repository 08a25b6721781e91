// The reader of the old CP932 settings file: what the profile reader answered, cut to its buffer.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/IniFileReader.h"
#include "res/Cp932.h"

namespace kestrel {
namespace {

TEST(IniFileReader, AnswersLikeTheProfileReader) {
    const std::string ini = utf8ToCp932(
                                "stray=before any section\r\n"
                                "[Environment]\r\n"
                                "POPServer =  pop.example.jp \t\r\n"
                                "debug=1\n"
                                "NoEquals line\n"
                                "=no key\n"
                                "[Environment\n"
                                "Quoted=\"  spaced  \"\r"
                                "Single='x'\n"
                                "Lopsided=\"x'\n"
                                "; Commented=1\n"
                                "DefaultUserId=山田\n"
                                "POPServer=second wins not\n"
                                "  [ peerchat ]  \n"
                                "AliaseName=やまだ\n"
                                "Empty=\n") +
                            "[\x83\x41]\n"
                            "kana=upper\n";
    IniFileReader r;
    r.LoadFromBytes(ini);
    struct Case {
        const char* section;
        const char* key;
        std::string expected;
    };
    const Case cases[] = {
        {"Environment", "POPServer", "pop.example.jp"},
        {"ENVIRONMENT", "popserver", "pop.example.jp"},
        {"Environment", "debug", "1"},
        {"Environment", "Quoted", "  spaced  "},
        {"Environment", "Single", "x"},
        {"Environment", "Lopsided", "\"x'"},
        {"Environment", "Commented", "dflt"},
        {"Environment", "; Commented", "dflt"},
        {"Environment", "NoEquals line", "dflt"},
        {"Environment", "stray", "dflt"},
        {"Environment", "DefaultUserId", utf8ToCp932("山田")},
        {"PeerChat", "AliaseName", utf8ToCp932("やまだ")},
        {"PeerChat", "Empty", ""},
        {"PeerChat", "POPServer", "dflt"},
        {"Nowhere", "debug", "dflt"},
        {"\x83\x41", "KANA", "upper"},
        // "ャ" (83 61) is another character, not a lower-case "ア" (83 41).
        {"\x83\x61", "kana", "dflt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(r.GetString(c.section, c.key, "dflt"), c.expected);
    }
}

TEST(IniFileReader, LongValuesAreCutToTheBuffer) {
    IniFileReader r;
    const std::string kanji = utf8ToCp932("あ");  // two bytes
    r.LoadFromBytes("[S]\nlong=" + std::string(2000, 'v') + "\nedge=" + std::string(1022, 'a') +
                    kanji + "\nfits=" + std::string(1023, 'f') + "\nnul=ab" + std::string(1, '\0') +
                    "cd\n");
    EXPECT_EQ(r.GetString("S", "long", ""), std::string(1023, 'v'));
    // Cutting at 1,023 would leave half of "あ"; the whole character goes instead.
    EXPECT_EQ(r.GetString("S", "edge", ""), std::string(1022, 'a'));
    EXPECT_EQ(r.GetString("S", "fits", ""), std::string(1023, 'f'));
    EXPECT_EQ(r.GetString("S", "nul", ""), "ab");
    EXPECT_EQ(r.GetString("S", "none", std::string(1500, 'd')), std::string(1023, 'd'));
}

TEST(IniFileReader, BinaryGarbageOnlyYieldsShortValuesOrDefaults) {
    std::mt19937 rng(20010519);
    std::uniform_int_distribution<int> byte(0, 255);
    const char* keys[] = {"Environment", "PeerChat", "WhereIs", "S"};
    for (int round = 0; round < 200; ++round) {
        std::string bytes;
        const int n = 1 + round * 37;
        for (int i = 0; i < n; ++i) {
            // Mix in structure characters so headers and pairs do form now and then.
            const int b = byte(rng);
            bytes.push_back(b < 20 ? "[]=\n\r"[b % 5] : static_cast<char>(b));
        }
        IniFileReader r;
        r.LoadFromBytes(bytes);
        for (const char* s : keys) {
            for (const char* k : {"debug", "Places", "", "x"}) {
                EXPECT_LE(r.GetString(s, k, "d").size(), IniFileReader::kBufferSize - 1);
            }
        }
    }
    IniFileReader missing;
    EXPECT_FALSE(missing.Load("/nonexistent/dir/kestrel.ini"));
    EXPECT_EQ(missing.GetString("Environment", "debug", "0"), "0");
}

}  // namespace
}  // namespace kestrel
