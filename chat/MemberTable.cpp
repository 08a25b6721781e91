#include "chat/MemberTable.h"

#include <algorithm>

#include "chat/ChatIds.h"
#include "chat/PeerText.h"
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

bool Away(const ChatPacket& packet) {
    return (packet.options & IPMSG_ABSENCEOPT) != 0;
}

void SetPresence(MemberRecord& record, const ChatPacket& packet) {
    record.present = Away(packet) ? 0 : 1;
    CopyField(record.whereabouts,
              Away(packet) ? PrintableName(WhereaboutsOf(packet.extra)) : std::string());
    record.whereaboutsText = QString();
}

// The packet's texts are UTF-8 as a whole.
bool Utf8Packet(const ChatPacket& packet) {
    return (packet.options & IPMSG_UTF8OPT) != 0;
}

QString Utf8Text(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The nickname (with its "[whereabouts]" when away) in Unicode, when the packet gives it in
// UTF-8, said or plain to see; none when its CP932 text is all there is.
std::optional<QString> Utf8Extra(const ChatPacket& packet, const EntryNames& names) {
    if (names.nickname) return names.nickname;
    if (Utf8Packet(packet) || LooksLikeUtf8(packet.extra))
        return PrintableNameText(Utf8Text(packet.extra));
    return std::nullopt;
}

// A name in Unicode: into its text, and as CP932 (with "〓" for what CP932 lacks) into its
// field, so that keys, lines and the history agree with what the windows show.
template <std::size_t N>
void SetName(char (&field)[N], QString& text, const QString& name) {
    text = name;
    CopyField(field, ToCp932(name));
}

void SetUtf8Whereabouts(MemberRecord& record, const ChatPacket& packet, const QString& extra) {
    if (!Away(packet)) return;
    const qsizetype open = extra.indexOf(QLatin1Char('['));
    const qsizetype close = open < 0 ? -1 : extra.indexOf(QLatin1Char(']'), open + 1);
    SetName(record.whereabouts, record.whereaboutsText,
            close < 0 ? QString() : extra.mid(open + 1, close - open - 1));
}

// What an entry or absence says in UTF-8 wins over its CP932 fields.
void ApplyUtf8Names(MemberRecord& record, const ChatPacket& packet, bool nickname) {
    record.utf8 = (packet.options & IPMSG_CAPUTF8OPT) != 0;
    const EntryNames names = ReadEntryNames(packet.rest);
    const bool whole = Utf8Packet(packet);
    if (names.user || whole || LooksLikeUtf8(packet.user))
        SetName(record.user, record.userText,
                names.user ? *names.user : PrintableNameText(Utf8Text(packet.user)));
    if (names.host || whole || LooksLikeUtf8(packet.host))
        SetName(record.host, record.hostText,
                names.host ? *names.host : PrintableNameText(Utf8Text(packet.host)));
    const std::optional<QString> extra = Utf8Extra(packet, names);
    if (!extra) return;
    if (nickname)
        SetName(record.nickname, record.nicknameText,
                extra->left(extra->indexOf(QLatin1Char('['))));
    SetUtf8Whereabouts(record, packet, *extra);
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
    ApplyUtf8Names(record, packet, true);
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
    ApplyUtf8Names(record, packet, false);
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
