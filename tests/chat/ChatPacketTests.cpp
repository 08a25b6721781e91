// Reading and building the peer chat's packets, extras, member lines and keys.
#include <gtest/gtest.h>

#include <cstring>

#include "chat/ChatPacket.h"
#include "chat/MemberRecord.h"
#include "identity/LocalIdentity.h"
#include "res/Cp932.h"

namespace kestrel {
namespace {

struct ParseCase {
    std::string text;
    int version;
    int number;
    std::string user;
    std::string host;
    int command;
    int options;
    std::string extra;
};

TEST(ChatPacket, ParsesFieldsWhateverTheShape) {
    const std::string colons(1000, ':');
    const ParseCase cases[] = {
        {"1:101:taro:PC01:1:Taro", 1, 101, "taro", "PC01", 1, 0, "Taro"},
        {"1:7:u:h:288:a:b::c", 1, 7, "u", "h", 0x20, 0x100, "a:b::c"},
        // Ends after the command field: no extra.
        {"1:9:u:h:32", 1, 9, "u", "h", 0x20, 0, ""},
        {"1:9:u:h:32:", 1, 9, "u", "h", 0x20, 0, ""},
        {"1:9:u:h:32::", 1, 9, "u", "h", 0x20, 0, ":"},
        {"", 0, 0, "", "", 0, 0, ""},
        {"garbage without colons", 0, 0, "", "", 0, 0, ""},
        {"1:2:3", 1, 2, "3", "", 0, 0, ""},
        {colons, 0, 0, "", "", 0, 0, colons.substr(5)},
        {"x:y:u:h:zz:e", 0, 0, "u", "h", 0, 0, "e"},
        {"1:4294967295:u:h:65538:", 1, -1, "u", "h", 2, 0x10000, ""},
        {"1:1:u:h:-1:e", 1, 1, "u", "h", 0xFF, static_cast<int>(0xFFFFFF00u), "e"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        const ChatPacket p = ParsePacket(c.text);
        EXPECT_EQ(p.version, c.version);
        EXPECT_EQ(p.packetNumber, c.number);
        EXPECT_EQ(p.user, c.user);
        EXPECT_EQ(p.host, c.host);
        EXPECT_EQ(p.command, c.command);
        EXPECT_EQ(p.options, c.options);
        EXPECT_EQ(p.extra, c.extra);
    }
}

TEST(ChatPacket, DatagramTextEndsAtZeroByteAndNeverPassesLength) {
    const char entry[] = "1:5:u:h:1:nick\0group\0icon\0";
    EXPECT_EQ(DatagramText(entry, sizeof entry - 1), "1:5:u:h:1:nick");
    // No zero byte inside the length: the text is the length, not the bytes behind it.
    const char unterminated[] = {'a', 'b', 'c', 'X', 'Y'};
    EXPECT_EQ(DatagramText(unterminated, 3), "abc");
    EXPECT_EQ(DatagramText(unterminated, 0), "");
    EXPECT_EQ(DatagramText(unterminated, -4), "");
    EXPECT_EQ(DatagramText(nullptr, 10), "");
}

TEST(ChatPacket, NicknameAndWhereaboutsOfExtras) {
    struct Case {
        std::string extra, nickname, whereabouts;
    } const cases[] = {
        {"Taro", "Taro", ""},       {"Taro[Meeting]", "Taro", "Meeting"},
        {"Taro[]", "Taro", ""},     {"Taro[Meeting", "Taro", ""},
        {"Taro]x[y", "Taro]x", ""}, {"Taro[a]b]", "Taro", "a"},
        {"[x]", "", "x"},           {"", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.extra);
        EXPECT_EQ(NicknameOf(c.extra), c.nickname);
        EXPECT_EQ(WhereaboutsOf(c.extra), c.whereabouts);
    }
}

// Names and places whose characters end in the bytes of "[" or "]" (ー is 81 5B, 江 is 8D 5D):
// every reader of an extra or a line takes them by character.
TEST(ChatPacket, NamesAndPlacesWithBracketBytesSurviveEveryReader) {
    struct Case {
        const char* nickname;
        const char* place;
    } const cases[] = {
        {"ユーザー", "江戸川"}, {"田中ゼミ", "深夕"}, {"啓充", "端納票"},
        {"ゾ‐", "余転望従"},    {"Taro", "会議室ー"}, {"ー", "江"},
    };
    for (const auto& c : cases) {
        const std::string nickname = utf8ToCp932(c.nickname);
        const std::string place = utf8ToCp932(c.place);
        SCOPED_TRACE(std::string(c.nickname) + "[" + c.place + "]");
        // The fixture holds the bytes the byte-wise readers stumbled over.
        ASSERT_NE((nickname + place).find_first_of("[]"), std::string::npos);

        const ChatPacket away =
            ParsePacket(BuildPresencePacket(5, "u", "h", 1, nickname, false, place));
        EXPECT_EQ(NicknameOf(away.extra), nickname);
        EXPECT_EQ(WhereaboutsOf(away.extra), place);
        EXPECT_EQ(NicknameOf(nickname), nickname);
        EXPECT_EQ(WhereaboutsOf(nickname), "");

        MemberRecord record;
        CopyField(record.nickname, nickname);
        CopyField(record.host, place);
        CopyField(record.address, "192.0.2.7");
        record.port = 2425;
        for (const auto& line : {MemberListLine(record), ChatMemberLine(record)}) {
            EXPECT_EQ(KeyOfLine(line), "192.0.2.7:2425");
            EXPECT_EQ(HostOfLine(line), place);
        }
    }
}

TEST(ChatPacket, CharacterSearchSkipsSecondBytesOnly) {
    struct Case {
        std::string text;
        std::size_t at;
    } const cases[] = {
        {"a[b", 1},
        {"\x81[", std::string::npos},  // ー: the "[" is its second byte
        {"\x81[[", 2},                 // the next character is the bracket
        {"\x81(x[", 3},                // "(" is no second byte: the first byte stands alone
        {"\x81", std::string::npos},   // a first byte at the very end
        {"\x8d]\x81[\x83[", std::string::npos},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Cp932Find(c.text, '['), c.at);
    }
    EXPECT_EQ(Cp932Find("\x8d] x] y", "] "), 4u);
}

TEST(ChatPacket, BuildsEveryShapeAndReadsItBack) {
    EXPECT_EQ(BuildPacket(101, "taro", "PC01", 1, "Taro"), "1:101:taro:PC01:1:Taro");
    EXPECT_EQ(BuildPresencePacket(102, "u", "h", 1, "Taro", true, "Lab"), "1:102:u:h:1:Taro");
    EXPECT_EQ(BuildPresencePacket(102, "u", "h", 1, "Taro", false, "Lab"),
              "1:102:u:h:257:Taro[Lab]");
    EXPECT_EQ(BuildPresencePacket(103, "u", "h", 0x51, "Taro", false, ""), "1:103:u:h:337:Taro[]");
    EXPECT_EQ(BuildAckPacket(104, "u", "h", 4294967295u), "1:104:u:h:33:4294967295");

    const std::string sent = BuildPacket(7, "u", "h", 0x120, "a:b[c]");
    const ChatPacket back = ParsePacket(sent);
    EXPECT_EQ(back.packetNumber, 7);
    EXPECT_EQ(back.command, 0x20);
    EXPECT_EQ(back.options, 0x100);
    EXPECT_EQ(back.extra, "a:b[c]");
}

TEST(ChatPacket, BroadcastListSkipsEmptyPieces) {
    struct Case {
        std::string setting;
        std::vector<std::string> list;
    } const cases[] = {
        {"", {}},
        {"~:_", {}},
        {"10.1.255.255~:_", {"10.1.255.255"}},
        {"10.1.255.255", {"10.1.255.255"}},
        {"a~:_b~:_", {"a", "b"}},
        {"a~:_~:_b", {"a", "b"}},
        {"a~:b~:_", {"a~:b"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting);
        EXPECT_EQ(BroadcastList(c.setting), c.list);
    }
    EXPECT_EQ(JoinBroadcastList({"a", "b"}), "a~:_b~:_");
    EXPECT_EQ(BroadcastList(JoinBroadcastList({"a", "b"})), (std::vector<std::string>{"a", "b"}));
}

TEST(ChatPacket, PeersTextsCarryNoControlBytesButMessagesKeepTheirLineBreaks) {
    struct Case {
        std::string text, name, message;
    } const cases[] = {
        {"plain", "plain", "plain"},
        {"a\r\nb\rc\nd", "a  b c d", "a\nb\nc\nd"},
        {"\r\n\r\n", "    ", "\n\n"},
        // A forged history line or date header, and a terminal's escape.
        {"hi\n\x91\x97[Boss(pc)]  fake", "hi \x91\x97[Boss(pc)]  fake",
         "hi\n\x91\x97[Boss(pc)]  fake"},
        {"\x1b[2J\x07\x7f\t", " [2J   ", " [2J   "},
        // Double-byte text passes: control bytes are never second bytes.
        {"\x83\x86\x81[\x8d]", "\x83\x86\x81[\x8d]", "\x83\x86\x81[\x8d]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(PrintableName(c.text), c.name);
        EXPECT_EQ(PrintableMessage(c.text), c.message);
    }
}

TEST(ChatPacket, BroadcastTargetsAreNumericOnceEachAndBounded) {
    std::vector<std::string> skipped;
    const auto targets =
        BroadcastTargets({"192.0.2.255", "intranet.example", "10.1.255.255", "192.0.2.255", "1.2.3",
                          "01.2.3.4", "1.2.3.4 ", "256.1.1.1", "10.0.0.1"},
                         &skipped);
    EXPECT_EQ(targets, (std::vector<std::string>{"192.0.2.255", "10.1.255.255", "10.0.0.1"}));
    EXPECT_EQ(skipped, (std::vector<std::string>{"intranet.example", "192.0.2.255", "1.2.3",
                                                 "01.2.3.4", "1.2.3.4 ", "256.1.1.1"}));
    std::vector<std::string> many;
    for (int i = 0; i < 100; ++i) many.push_back("10.0.0." + std::to_string(i));
    EXPECT_EQ(BroadcastTargets(many).size(), kMostBroadcastTargets);
    EXPECT_EQ(BroadcastTargets(many).back(), "10.0.0.63");
}

TEST(ChatPacket, ChatTextKeepsAtMost255BytesOnACharacterBoundary) {
    EXPECT_EQ(TextOf(MakeChatText(std::string(300, 'x'))), std::string(255, 'x'));
    EXPECT_EQ(MakeChatText(std::string(300, 'x')).length, 256);
    EXPECT_EQ(MakeChatText("").length, 1);
    // 254 ASCII bytes then a double-byte character: the character would end at byte 256.
    const std::string kanji = utf8ToCp932("漢");
    ASSERT_EQ(kanji.size(), 2u);
    const ChatText cut = MakeChatText(std::string(254, 'x') + kanji);
    EXPECT_EQ(TextOf(cut), std::string(254, 'x'));
    EXPECT_EQ(TextOf(MakeChatText(std::string(253, 'x') + kanji)), std::string(253, 'x') + kanji);
}

MemberRecord Member(const std::string& nick, const std::string& host, const std::string& address,
                    int port, bool present, const std::string& where, const std::string& version) {
    MemberRecord r;
    CopyField(r.nickname, nick);
    CopyField(r.host, host);
    CopyField(r.address, address);
    r.port = port;
    r.present = present ? 1 : 0;
    CopyField(r.whereabouts, where);
    CopyField(r.version, version);
    return r;
}

TEST(MemberLines, ListAndDropDownLinesCarryTheKey) {
    const std::string present = utf8ToCp932("在席");
    const std::string away = utf8ToCp932("離席:");
    const MemberRecord taro =
        Member("Taro", "PC01", "192.0.2.5", 2425, true, "", "Kestrel ver3.20");
    EXPECT_EQ(MemberListLine(taro),
              "Taro                 [PC01(192.0.2.5:2425)] " + present + "    Kestrel ver3.20");
    EXPECT_EQ(ChatMemberLine(taro), "Taro [PC01(192.0.2.5:2425)] " + present);
    const MemberRecord hana =
        Member("Hanako-with-a-long-name", "h", "10.0.0.1", 9, false, "Lab", "");
    EXPECT_EQ(MemberListLine(hana), "Hanako-with-a-long-name [h(10.0.0.1:9)] " + away + "Lab    ");
    EXPECT_EQ(ChatMemberLine(hana), "Hanako-with-a-long-name [h(10.0.0.1:9)] " + away + "Lab");

    for (const auto& line : {MemberListLine(taro), ChatMemberLine(taro)}) {
        EXPECT_EQ(KeyOfLine(line), "192.0.2.5:2425");
        EXPECT_EQ(HostOfLine(line), "PC01");
    }
    EXPECT_EQ(MemberKey(taro), "192.0.2.5:2425");
}

TEST(MemberLines, LongMemberLinesAreReadWhole) {
    // Fields at their full widths make a line far longer than 255 bytes; its key is still
    // found at its end of the bracket.
    const MemberRecord big = Member(std::string(127, 'n'), std::string(127, 'h'), "203.0.113.200",
                                    65535, false, std::string(63, 'w'), std::string(127, 'v'));
    const std::string line = MemberListLine(big);
    EXPECT_GT(line.size(), 400u);
    EXPECT_EQ(KeyOfLine(line), "203.0.113.200:65535");
    EXPECT_EQ(HostOfLine(line), std::string(127, 'h'));
}

TEST(MemberLines, KeysOfMalformedLines) {
    struct Case {
        std::string line, key;
    } const cases[] = {
        {"", ""},
        {"no brackets", ""},
        {"a [host] x", ""},
        {"a [host(1.2.3.4:5] x", ""},
        {"a [h(1.2.3.4:5)] x (9.9.9.9:1)", "1.2.3.4:5"},
        {"[(k)]", "k"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(KeyOfLine(c.line), c.key);
    }
    const auto split = SplitKey("192.0.2.5:2425");
    ASSERT_TRUE(split.has_value());
    EXPECT_EQ(split->address, "192.0.2.5");
    EXPECT_EQ(split->port, 2425);
    EXPECT_FALSE(SplitKey("no-colon").has_value());
    EXPECT_EQ(TrimRight("Taro   "), "Taro");
}

}  // namespace
}  // namespace kestrel
