#include "chat/MemberTable.h"

#include <algorithm>

#include "chat/ChatIds.h"
#include "identity/LocalIdentity.h"
#include "res/Cp932.h"

namespace kestrel {

MemberRecord RecordOf(const ChatPacket& packet) {
    MemberRecord record;
    CopyField(record.user, PrintableName(packet.user));
    CopyField(record.host, PrintableName(packet.host));
    CopyField(record.address, FieldText(packet.sender.peerAddress));
    record.port = packet.sender.peerPort;
    return record;
}

namespace {

void SetPresence(MemberRecord& record, const ChatPacket& packet) {
    const bool away = (packet.options & IPMSG_ABSENCEOPT) != 0;
    record.present = away ? 0 : 1;
    CopyField(record.whereabouts,
              away ? PrintableName(WhereaboutsOf(packet.extra)) : std::string());
}

}  // namespace

void MemberTable::Put(const MemberRecord& record) {
    Remove(FieldText(record.address));
    m_records.push_back(record);
    m_index[FieldText(record.address)] = std::prev(m_records.end());
}

void MemberTable::Remove(std::string_view address) {
    const auto it = m_index.find(std::string(address));
    if (it == m_index.end()) return;
    m_records.erase(it->second);
    m_index.erase(it);
}

const MemberRecord* MemberTable::Find(std::string_view address) const {
    const auto it = m_index.find(std::string(address));
    return it == m_index.end() ? nullptr : &*it->second;
}

RuleOutcome MemberTable::Entry(const ChatPacket& packet) {
    RuleOutcome outcome;
    if (m_records.size() >= kMost && !Find(FieldText(packet.sender.peerAddress))) {
        outcome.full = true;
        return outcome;
    }
    MemberRecord record = RecordOf(packet);
    CopyField(record.nickname, PrintableName(NicknameOf(packet.extra)));
    SetPresence(record, packet);
    if (const MemberRecord* old = Find(FieldText(record.address))) {
        std::copy(std::begin(old->version), std::end(old->version), std::begin(record.version));
        Put(record);
        if (record.version[0] != '\0')
            outcome.event = MemberEvent{MEMBER_UPDATED, record};
        else
            outcome.askVersion = true;
        return outcome;
    }
    Put(record);
    outcome.event = MemberEvent{MEMBER_ADDED, record};
    outcome.askVersion = true;
    return outcome;
}

RuleOutcome MemberTable::Absence(const ChatPacket& packet) {
    RuleOutcome outcome;
    const MemberRecord* old = Find(FieldText(packet.sender.peerAddress));
    if (!old) return outcome;
    MemberRecord record = *old;
    SetPresence(record, packet);
    Put(record);
    if (record.present == 1 &&
        TakeSeatWait(FieldText(packet.sender.peerAddress), packet.sender.peerPort))
        outcome.seatReturn = record;
    outcome.event = MemberEvent{MEMBER_UPDATED, record};
    return outcome;
}

RuleOutcome MemberTable::Exit(const ChatPacket& packet) {
    RuleOutcome outcome;
    const MemberRecord* old = Find(FieldText(packet.sender.peerAddress));
    if (!old) return outcome;
    const MemberRecord record = *old;
    Remove(FieldText(record.address));
    if (TakeSeatWait(FieldText(packet.sender.peerAddress), packet.sender.peerPort))
        outcome.seatReturn = record;
    outcome.event = MemberEvent{MEMBER_LEFT, record};
    return outcome;
}

RuleOutcome MemberTable::Version(const ChatPacket& packet) {
    RuleOutcome outcome;
    const MemberRecord* old = Find(FieldText(packet.sender.peerAddress));
    if (!old) return outcome;
    MemberRecord record = *old;
    CopyField(record.version, PrintableName(packet.extra));
    Put(record);
    outcome.event = MemberEvent{MEMBER_UPDATED, record};
    return outcome;
}

int MemberTable::Snapshot(std::vector<MemberRecord>& destination) const {
    destination.insert(destination.end(), m_records.begin(), m_records.end());
    return 1;
}

void MemberTable::Empty() {
    m_records.clear();
    m_index.clear();
}

bool MemberTable::TakeSeatWait(std::string_view address, int port) {
    const auto it = std::find(m_seatWait.begin(), m_seatWait.end(), MemberKey(address, port));
    if (it == m_seatWait.end()) return false;
    m_seatWait.erase(it);
    return true;
}

}  // namespace kestrel
