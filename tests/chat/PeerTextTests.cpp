// The UTF-8 side of the peer chat: the names after an entry's text, messages in UTF-8, the
// CP932 the history gets of Unicode, and the member lines the windows show.
#include <gtest/gtest.h>

#include "chat/ChatIds.h"
#include "chat/ChatPacket.h"
#include "chat/MemberRecord.h"
#include "chat/MemberTable.h"
#include "chat/PeerText.h"
#include "res/Cp932.h"

namespace kestrel {
namespace {

using namespace std::string_literals;

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}
std::string U(const std::string& utf8) {
    return utf8ToCp932(utf8);
}
ChatPacket Datagram(const std::string& bytes, const char* address = "192.0.2.5") {
    SocketEvent sender;
    CopyField(sender.peerAddress, address);
    sender.peerPort = 2425;
    return ParseDatagram(bytes.data(), static_cast<int>(bytes.size()), sender);
}
std::string Shown(const std::optional<QString>& name) {
    return name ? name->toStdString() : std::string("<none>");
}

TEST(PeerText, TheNamesAfterAnEntryAreReadFromItsLines) {
    struct Case {
        std::string rest;  // what follows the text's zero byte
        const char* user;
        const char* host;
        const char* nickname;
        const char* group;
    };
    const Case cases[] = {
        {"grp\0\nUN:张三\nHN:主机\nNN:张😀ハナ\nGN:组\n"s, "张三", "主机", "张😀ハナ", "组"},
        // In any order, CR LF ends a line too, the last line needs no end, unknown and malformed
        // lines are skipped, and an empty line names nothing.
        {"\0\nXX:zz\r\nNN:花子\r\nUN\nHN:\nGN:g"s, "<none>", "<none>", "花子", "g"},
        // No lines at all, or no zero byte after the group: nothing.
        {"", "<none>", "<none>", "<none>", "<none>"},
        {"group only", "<none>", "<none>", "<none>", "<none>"},
        {"\0"s, "<none>", "<none>", "<none>", "<none>"},
        // A zero byte ends the lines: what follows is not read.
        {"\0\nNN:a\0\nUN:b\n"s, "<none>", "<none>", "a", "<none>"},
        // Control characters become spaces; invalid UTF-8 shows as the replacement character.
        {"\0\nNN:a\x1b[2J\x07z\nUN:\xff\xfe"s, "\xEF\xBF\xBD\xEF\xBF\xBD", "<none>", "a [2J z",
         "<none>"},
    };
    for (const auto& c : cases) {
        const EntryNames names = ReadEntryNames(c.rest);
        SCOPED_TRACE(c.rest);
        EXPECT_EQ(Shown(names.user), c.user);
        EXPECT_EQ(Shown(names.host), c.host);
        EXPECT_EQ(Shown(names.nickname), c.nickname);
        EXPECT_EQ(Shown(names.group), c.group);
    }
}

TEST(PeerText, ANameFromLinesKeepsItsFieldsLengthWithoutHalfAnEmoji) {
    std::string long_ = "\0\nNN:"s + std::string(kMostNameChars - 1, 'x');
    for (int i = 0; i < 10; ++i) long_ += "😀";
    const QString name = *ReadEntryNames(long_).nickname;
    // 126 x and the first emoji would make 128 code units: the emoji goes whole.
    EXPECT_EQ(name, QString(kMostNameChars - 1, QLatin1Char('x')));
}

TEST(PeerText, OurEntryAddsLinesOnlyForNamesThatAreNotPlainAscii) {
    EXPECT_EQ(EntryNamesTail(Q("taro"), Q("PC01"), Q("Taro")), "");
    EXPECT_EQ(EntryNamesTail(Q("taro"), Q("PC01"), Q("太郎[会議室]")), "\0\0\nNN:太郎[会議室]\n"s);
    EXPECT_EQ(EntryNamesTail(Q("張"), Q("机"), Q("x"), Q("組")),
              std::string(1, '\0') + U("組") + "\0\nUN:張\nHN:机\nGN:組\n"s);

    // Sent after the CP932 nickname, the whole packet reads back: old readers stop at the
    // first zero byte and see the packet as before, new ones take the lines.
    const std::string packet =
        BuildPacket(7, "taro", "PC01", IPMSG_BR_ENTRY | IPMSG_CAPUTF8OPT, U("太郎")) +
        EntryNamesTail(Q("taro"), Q("PC01"), Q("太郎"));
    const std::string datagram = packet + std::string(1, '\0');
    EXPECT_EQ(DatagramText(datagram.data(), static_cast<int>(datagram.size())),
              "1:7:taro:PC01:16777217:" + U("太郎"));
    const ChatPacket read = Datagram(datagram);
    EXPECT_EQ(read.options, IPMSG_CAPUTF8OPT);
    EXPECT_EQ(read.extra, U("太郎"));
    EXPECT_EQ(Shown(ReadEntryNames(read.rest).nickname), "太郎");
}

TEST(PeerText, MessagesAreReadInTheEncodingTheirPacketNames) {
    struct Case {
        std::string text;
        const char* shown;
    };
    const Case cases[] = {
        {"1:1:u:h:" + std::to_string(0x800120) + ":张 😀 こんにちは\r\nbye", "张 😀 こんにちは\nbye"},
        {"1:1:u:h:288:" + U("こんにちは") + "\r\nbye", "こんにちは\nbye"},
        // Without the option: UTF-8 as plain to see (iptux sends so), else CP932.
        {"1:1:u:h:288:张三 😀", "张三 😀"},
        {"1:1:u:h:288:" + U("張三"), "張三"},
        {"1:1:u:h:" + std::to_string(0x800120) + ":\xff" + "a\x07",
         "\xEF\xBF\xBD"
         "a "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(MessageTextOf(ParsePacket(c.text)).toStdString(), c.shown);
    }
}

TEST(PeerText, Utf8IsToldFromCp932ByItsForm) {
    struct Case {
        std::string text;
        bool utf8;
    };
    const Case cases[] = {
        {"张三😀イプタックス", true}, {"é", true},
        {"plain ascii", false},  // the same either way
        {U("イプタックス"), false},  {U("太郎[会議室]"), false},
        {U("ﾃﾞｽｸ"), false},          {"\xC0\xAF", false},  // overlong
        {"\xED\xA0\x80", false},                           // a surrogate
        {"\xF4\x90\x80\x80", false},                       // beyond U+10FFFF
        {"\xE5\xBC", false},                               // cut short
    };
    for (const auto& c : cases) EXPECT_EQ(LooksLikeUtf8(c.text), c.utf8) << c.text;
}

TEST(PeerText, CharactersCp932LacksBecomeGetaMarksAndAreCounted) {
    struct Case {
        const char* text;
        std::string cp932;
        std::size_t replaced;
    };
    const Case cases[] = {
        {"plain", "plain", 0},
        {"日本語", U("日本語"), 0},
        {"〓", U("〓"), 0},  // the mark itself is CP932
        {"张", U("〓"), 1},
        {"a😀b", U("a〓b"), 1},
        {"张三😀👍こんにちは", U("〓三〓〓こんにちは"), 3},
    };
    for (const auto& c : cases) {
        std::size_t replaced = 0;
        EXPECT_EQ(ToCp932(Q(c.text), &replaced), c.cp932) << c.text;
        EXPECT_EQ(replaced, c.replaced) << c.text;
    }
}

TEST(PeerText, ColumnsCountAsCp932Bytes) {
    EXPECT_EQ(Cp932Columns(Q("Taro")), 4);
    EXPECT_EQ(Cp932Columns(Q("ﾀﾛｰ")), 3);
    EXPECT_EQ(Cp932Columns(Q("太郎")), 4);
    EXPECT_EQ(Cp932Columns(Q("张😀")), 4);  // each a "〓" of two bytes in CP932
}

TEST(PeerText, AnEntrysUtf8LinesWinOverItsCp932Fields) {
    MemberTable table;
    const std::string entry = "1:1:zhang:PC9:" + std::to_string(IPMSG_CAPUTF8OPT | 0x101) +
                              ":Zhang[Out]" + "\0\0\nUN:张三\nHN:主机😀\nNN:张😀[会议室]\n"s;
    const RuleOutcome added = table.Entry(Datagram(entry));
    ASSERT_TRUE(added.event);
    const MemberRecord& record = added.event->record;
    EXPECT_TRUE(record.utf8);
    EXPECT_EQ(record.nicknameText.toStdString(), "张😀");
    EXPECT_EQ(record.userText.toStdString(), "张三");
    EXPECT_EQ(HostText(record).toStdString(), "主机😀");
    EXPECT_EQ(WhereaboutsText(record).toStdString(), "会议室");
    // The CP932 fields hold the same names, "〓" where CP932 lacks a character.
    EXPECT_EQ(FieldText(record.nickname), U("〓〓"));
    EXPECT_EQ(FieldText(record.host), U("主机〓"));
    EXPECT_EQ(FieldText(record.whereabouts), U("会〓室"));

    // The windows show the names as given; the member list pads by CP932 columns.
    EXPECT_EQ(ChatMemberLineText(record).toStdString(), "张😀 [主机😀(192.0.2.5:2425)] 離席:会议室");
    const QString listLine = MemberListLineText(record);
    EXPECT_EQ(Cp932Columns(listLine.left(listLine.indexOf(QStringLiteral(" [")))), 20);
    EXPECT_EQ(ReceivedChatLineText(record, Q("你好")).toStdString(), "受[张😀(主机😀)]  你好");

    // Back at the desk without lines: its presence changes, its names stay; it no longer
    // announces UTF-8.
    const RuleOutcome back = table.Absence(Datagram("1:2:zhang:PC9:4:Zhang"));
    ASSERT_TRUE(back.event);
    EXPECT_FALSE(back.event->record.utf8);
    EXPECT_EQ(back.event->record.present, 1);
    EXPECT_EQ(NicknameText(back.event->record).toStdString(), "张😀");
    EXPECT_EQ(WhereaboutsText(back.event->record).toStdString(), "");
}

TEST(PeerText, APacketMarkedUtf8IsUtf8Whole) {
    MemberTable table;
    const RuleOutcome added = table.Entry(Datagram(
        "1:1:用户:主机:" + std::to_string(IPMSG_UTF8OPT | IPMSG_CAPUTF8OPT | 0x101) + ":张[外出]"));
    ASSERT_TRUE(added.event);
    const MemberRecord& record = added.event->record;
    EXPECT_EQ(NicknameText(record).toStdString(), "张");
    EXPECT_EQ(record.userText.toStdString(), "用户");
    EXPECT_EQ(HostText(record).toStdString(), "主机");
    EXPECT_EQ(WhereaboutsText(record).toStdString(), "外出");
}

TEST(PeerText, AnEntryInUtf8WithoutLinesIsReadAsUtf8) {
    MemberTable table;
    const RuleOutcome added = table.Entry(
        Datagram("1_iptux 0.8.3:1:root:vm:257:张三😀イプタックス\0test\0icon-tux.png\0utf-8\0"s));
    ASSERT_TRUE(added.event);
    EXPECT_FALSE(added.event->record.utf8);  // it said nothing: it gets CP932
    EXPECT_EQ(NicknameText(added.event->record).toStdString(), "张三😀イプタックス");
    EXPECT_EQ(FieldText(added.event->record.nickname), U("〓三〓イプタックス"));
}

TEST(PeerText, Cp932MembersShowAsTheirCp932LinesDo) {
    MemberTable table;
    const RuleOutcome added =
        table.Entry(Datagram("1:1:u:" + U("深夕PC") + ":257:" + U("ユーザー[江戸川]")));
    ASSERT_TRUE(added.event);
    const MemberRecord& record = added.event->record;
    EXPECT_FALSE(record.utf8);
    EXPECT_TRUE(record.nicknameText.isNull());
    EXPECT_EQ(MemberListLineText(record), FromCp932(MemberListLine(record)));
    EXPECT_EQ(ChatMemberLineText(record), FromCp932(ChatMemberLine(record)));
    EXPECT_EQ(ReceivedChatLineText(record, Q("やあ")),
              FromCp932(ReceivedChatLine(record, U("やあ"))));
}

}  // namespace
}  // namespace kestrel
