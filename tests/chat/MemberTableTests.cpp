// The member table's rules and the seat-wait list, without a socket.
#include <gtest/gtest.h>

#include <cstring>

#include "chat/ChatIds.h"
#include "chat/MemberTable.h"
#include "res/Cp932.h"

namespace kestrel {
namespace {

ChatPacket From(const std::string& address, int port, const std::string& text) {
    SocketEvent sender;
    sender.kind = SOCKEVT_DATA;
    std::strncpy(sender.peerAddress, address.c_str(), sizeof sender.peerAddress - 1);
    sender.peerPort = port;
    return ParsePacket(text, sender);
}

std::vector<std::string> Addresses(const MemberTable& table) {
    std::vector<MemberRecord> records;
    EXPECT_EQ(table.Snapshot(records), 1);
    std::vector<std::string> addresses;
    for (const auto& r : records) addresses.push_back(FieldText(r.address));
    return addresses;
}

TEST(MemberTable, EntryAddsThenReplacesAtTheEndWithoutDuplicates) {
    MemberTable table;
    RuleOutcome first = table.Entry(From("192.0.2.5", 2425, "1:1:taro:PC01:1:Taro"));
    ASSERT_TRUE(first.event.has_value());
    EXPECT_EQ(first.event->kind, MEMBER_ADDED);
    EXPECT_TRUE(first.askVersion);
    EXPECT_EQ(FieldText(first.event->record.nickname), "Taro");
    EXPECT_EQ(first.event->record.present, 1);
    table.Entry(From("192.0.2.6", 2425, "1:1:hana:PC02:3:Hana"));

    // Re-entry before the version answer: replaced, moved to the end, no event, asked again.
    RuleOutcome again = table.Entry(From("192.0.2.5", 2425, "1:2:taro:PC01:257:Taro[Lab]"));
    EXPECT_FALSE(again.event.has_value());
    EXPECT_TRUE(again.askVersion);
    EXPECT_EQ(Addresses(table), (std::vector<std::string>{"192.0.2.6", "192.0.2.5"}));
    EXPECT_EQ(table.Find("192.0.2.5")->present, 0);
    EXPECT_EQ(FieldText(table.Find("192.0.2.5")->whereabouts), "Lab");

    // With the version known, a re-entry keeps it and is one update, no version query.
    RuleOutcome version =
        table.Version(From("192.0.2.5", 2425, "1:3:taro:PC01:65:Kestrel ver3.20"));
    ASSERT_TRUE(version.event.has_value());
    EXPECT_EQ(version.event->kind, MEMBER_UPDATED);
    RuleOutcome known = table.Entry(From("192.0.2.5", 2425, "1:4:taro:PC01:1:Taro"));
    ASSERT_TRUE(known.event.has_value());
    EXPECT_EQ(known.event->kind, MEMBER_UPDATED);
    EXPECT_FALSE(known.askVersion);
    EXPECT_EQ(FieldText(known.event->record.version), "Kestrel ver3.20");
    EXPECT_EQ(table.Size(), 2u);

    // Two ports on one machine share the record: the address is the key.
    table.Entry(From("192.0.2.5", 2426, "1:5:taro2:PC01:1:Other"));
    EXPECT_EQ(table.Size(), 2u);
    EXPECT_EQ(table.Find("192.0.2.5")->port, 2426);
}

TEST(MemberTable, OverlongFieldsAreCutOnCharacterBoundaries) {
    const std::string kanji = utf8ToCp932("漢");
    // 126 ASCII bytes and a double-byte character would need 129 bytes with the zero.
    const std::string nick = std::string(126, 'n') + kanji;
    const std::string where = std::string(62, 'w') + kanji;
    MemberTable table;
    table.Entry(From("192.0.2.5", 2425,
                     "1:1:" + std::string(500, 'u') + ":" + std::string(500, 'h') + ":257:" + nick +
                         "[" + where + "]"));
    const MemberRecord* r = table.Find("192.0.2.5");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(FieldText(r->nickname), std::string(126, 'n'));
    EXPECT_EQ(FieldText(r->whereabouts), std::string(62, 'w'));
    EXPECT_EQ(FieldText(r->user), std::string(127, 'u'));
    EXPECT_EQ(FieldText(r->host), std::string(127, 'h'));
    table.Version(From("192.0.2.5", 2425, "1:2:u:h:65:" + std::string(126, 'v') + kanji));
    EXPECT_EQ(FieldText(table.Find("192.0.2.5")->version), std::string(126, 'v'));
}

TEST(MemberTable, AbsenceRuleSetsPresenceOfKnownMembersOnly) {
    MemberTable table;
    EXPECT_FALSE(table.Absence(From("192.0.2.9", 2425, "1:1:u:h:260:X[Lab]")).event.has_value());
    EXPECT_EQ(table.Size(), 0u);

    table.Entry(From("192.0.2.5", 2425, "1:1:taro:PC01:1:Taro"));
    struct Case {
        std::string text;
        int present;
        std::string where;
    } const cases[] = {
        {"1:2:u:h:260:Ignored[Lab]", 0, "Lab"},
        {"1:3:u:h:260:Taro[]", 0, ""},
        {"1:4:u:h:260:Taro", 0, ""},
        {"1:5:u:h:4:Taro[Lab]", 1, ""},
        {"1:6:u:h:337:Taro[Home]", 0, "Home"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const RuleOutcome out = table.Absence(From("192.0.2.5", 2425, c.text));
        ASSERT_TRUE(out.event.has_value());
        EXPECT_EQ(out.event->kind, MEMBER_UPDATED);
        EXPECT_EQ(out.event->record.present, c.present);
        EXPECT_EQ(FieldText(out.event->record.whereabouts), c.where);
        // The nickname of an absence packet is not used.
        EXPECT_EQ(FieldText(out.event->record.nickname), "Taro");
        EXPECT_FALSE(out.seatReturn.has_value());
    }
}

TEST(MemberTable, SeatReturnHappensOnceOnReturnOrExit) {
    MemberTable table;
    table.Entry(From("192.0.2.5", 2425, "1:1:taro:PC01:257:Taro[Lab]"));
    table.Entry(From("192.0.2.6", 2425, "1:1:hana:PC02:257:Hana[Lab]"));
    table.SeatWait() = {"192.0.2.5:2425", "192.0.2.6:2425", "192.0.2.5:9999"};

    // Away again: no notice.
    EXPECT_FALSE(table.Absence(From("192.0.2.5", 2425, "1:2:u:h:260:Taro[Bed]")).seatReturn);
    RuleOutcome back = table.Absence(From("192.0.2.5", 2425, "1:3:u:h:4:Taro"));
    ASSERT_TRUE(back.seatReturn.has_value());
    EXPECT_EQ(FieldText(back.seatReturn->nickname), "Taro");
    EXPECT_EQ(back.event->kind, MEMBER_UPDATED);
    EXPECT_FALSE(table.Absence(From("192.0.2.5", 2425, "1:4:u:h:4:Taro")).seatReturn);
    EXPECT_EQ(table.SeatWait(), (std::vector<std::string>{"192.0.2.6:2425", "192.0.2.5:9999"}));

    // An entry never triggers the check.
    EXPECT_FALSE(table.Entry(From("192.0.2.6", 2425, "1:5:hana:PC02:1:Hana")).seatReturn);
    RuleOutcome gone = table.Exit(From("192.0.2.6", 2425, "1:6:hana:PC02:2:Hana"));
    ASSERT_TRUE(gone.seatReturn.has_value());
    ASSERT_TRUE(gone.event.has_value());
    EXPECT_EQ(gone.event->kind, MEMBER_LEFT);
    EXPECT_EQ(table.Find("192.0.2.6"), nullptr);
    EXPECT_FALSE(table.Exit(From("192.0.2.6", 2425, "1:7:hana:PC02:2:Hana")).event.has_value());
    EXPECT_EQ(table.SeatWait(), (std::vector<std::string>{"192.0.2.5:9999"}));

    // Emptying keeps the seat-wait list.
    table.Empty();
    EXPECT_EQ(table.Size(), 0u);
    EXPECT_EQ(table.SeatWait().size(), 1u);
}

TEST(MemberTable, NamesFromPeersCarryNoControlBytes) {
    MemberTable table;
    const RuleOutcome entry =
        table.Entry(From("192.0.2.7", 2425, "1:1:u\x1b[2J:h\rx:257:Nick\r\n\x93\x63[Lab\x07\n]"));
    ASSERT_TRUE(entry.event.has_value());
    const MemberRecord& r = entry.event->record;
    EXPECT_EQ(FieldText(r.nickname), "Nick  \x93\x63");
    EXPECT_EQ(FieldText(r.whereabouts), "Lab  ");
    EXPECT_EQ(FieldText(r.user), "u [2J");
    EXPECT_EQ(FieldText(r.host), "h x");
    table.Version(From("192.0.2.7", 2425, "1:2:u:h:65:v\n1"));
    EXPECT_EQ(FieldText(table.Find("192.0.2.7")->version), "v 1");
    EXPECT_FALSE(table.Version(From("192.0.2.99", 1, "1:1:u:h:65:v")).event.has_value());
}

TEST(MemberTable, AFullTableListsNoNewcomerUntilRoomIsMade) {
    MemberTable table;
    auto address = [](int i) {
        return "10." + std::to_string(i / 62500) + "." + std::to_string(i / 250 % 250) + "." +
               std::to_string(i % 250);
    };
    int refused = 0;
    for (int i = 0; i < 10000; ++i)
        if (table.Entry(From(address(i), 2425, "1:1:u:h:1:N" + std::to_string(i))).full) ++refused;
    EXPECT_EQ(table.Size(), MemberTable::kMost);
    EXPECT_EQ(refused, 10000 - static_cast<int>(MemberTable::kMost));

    // Members already listed still change; a newcomer waits for room.
    const RuleOutcome known = table.Entry(From(address(0), 2425, "1:2:u:h:257:N0[Out]"));
    EXPECT_FALSE(known.full);
    EXPECT_EQ(table.Find(address(0))->present, 0);
    EXPECT_TRUE(table.Entry(From(address(9999), 2425, "1:2:u:h:1:Late")).full);
    table.Exit(From(address(1), 2425, "1:3:u:h:2:N1"));
    const RuleOutcome late = table.Entry(From(address(9999), 2425, "1:4:u:h:1:Late"));
    EXPECT_FALSE(late.full);
    ASSERT_TRUE(late.event.has_value());
    EXPECT_EQ(late.event->kind, MEMBER_ADDED);
    EXPECT_EQ(table.Size(), MemberTable::kMost);
}

}  // namespace
}  // namespace kestrel
