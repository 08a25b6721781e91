#pragma once

// The peers that have announced themselves, one record per address, in the order of their
// last change; and the seat-wait list of the members whose return the user waits for. Pure
// code: the rules say what to post, send and sound, and the peer chat does it.

#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "chat/ChatPacket.h"
#include "chat/MemberRecord.h"

namespace kestrel {

struct MemberEvent {
    int kind = 0;  // MEMBER_ADDED, MEMBER_UPDATED, MEMBER_LEFT
    MemberRecord record;
};

// What a rule asks of the peer chat, in this order: the seat notice (beep and window) for a
// member the user waited for, then the member event, then a version query.
struct RuleOutcome {
    std::optional<MemberRecord> seatReturn;
    std::optional<MemberEvent> event;
    bool askVersion = false;
    // A new member that did not fit: the table is full.
    bool full = false;
};

class MemberTable {
public:
    // The most members listed at once. An entry from a further address is not listed (and
    // the peer chat does not answer it) until members leave or the list is refreshed: an
    // office has far fewer, and forged entries from a whole subnet must not grow it without
    // end.
    static constexpr std::size_t kMost = 4096;

    // IPMSG_BR_ENTRY and IPMSG_ANSENTRY.
    RuleOutcome Entry(const ChatPacket& packet);
    // IPMSG_BR_ABSENCE and IPMSG_SENDABSENCEINFO.
    RuleOutcome Absence(const ChatPacket& packet);
    // IPMSG_BR_EXIT.
    RuleOutcome Exit(const ChatPacket& packet);
    // IPMSG_SENDINFO.
    RuleOutcome Version(const ChatPacket& packet);

    const MemberRecord* Find(std::string_view address) const;
    // Appends a copy of every record, in table order; returns 1.
    int Snapshot(std::vector<MemberRecord>& destination) const;
    void Empty();
    std::size_t Size() const { return m_records.size(); }

    // The seat-wait list: "%s:%d" keys, compared as exact text. The member list window
    // changes it directly.
    std::vector<std::string>& SeatWait() { return m_seatWait; }
    const std::vector<std::string>& SeatWait() const { return m_seatWait; }
    // Remove the first entry equal to the key of address and port; true when there was one.
    bool TakeSeatWait(std::string_view address, int port);

private:
    // Replace (or add) the record of its address at the end of the order.
    void Put(const MemberRecord& record);
    void Remove(std::string_view address);

    std::list<MemberRecord> m_records;
    std::unordered_map<std::string, std::list<MemberRecord>::iterator> m_index;
    std::vector<std::string> m_seatWait;
};

// A member record from a packet: user and host from the packet (control bytes as spaces),
// address and port of the sender; nickname and presence are for the caller to set.
MemberRecord RecordOf(const ChatPacket& packet);

}  // namespace kestrel
