// Fuzzing the peer chat's readers: datagram text, packets, extras, the UTF-8 names after an
// entry's text and UTF-8 messages, member lines and keys, the search by character, the texts
// taken from peers, and the broadcast list, with round trips through the writers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "chat/ChatPacket.h"
#include "chat/MemberRecord.h"
#include "chat/MemberTable.h"
#include "chat/PeerText.h"
#include "identity/LocalIdentity.h"
#include "res/Cp932.h"
#include "settings/InputChecks.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kestrel;
    const auto* bytes = reinterpret_cast<const char*>(data);
    // The socket hands over whole datagrams; the readers must hold for any length.
    const int length = static_cast<int>(std::min<size_t>(size, 1 << 20));
    const std::string text = DatagramText(bytes, length);
    Check(text.size() <= size && text.find('\0') == std::string::npos);

    SocketEvent sender;
    CopyField(sender.peerAddress, "192.0.2.9");
    sender.peerPort = 2425;
    const ChatPacket packet = ParseDatagram(bytes, length, sender);
    Check(packet.rest.empty() ||
          text.size() + 1 + packet.rest.size() == static_cast<size_t>(length));

    // The UTF-8 names after the text: none empty, none longer than a name field keeps, no
    // control character; written as this program writes its own, they read back the same.
    const EntryNames names = ReadEntryNames(packet.rest);
    for (const auto* name : {&names.user, &names.host, &names.nickname, &names.group}) {
        if (!*name) continue;
        Check(!(*name)->isEmpty() && (*name)->size() <= kMostNameChars);
        for (const QChar c : **name)
            Check(c.unicode() >= 0x20 && c.category() != QChar::Other_Control);
    }
    const QString none;
    const std::string tail =
        EntryNamesTail(names.user.value_or(none), names.host.value_or(none),
                       names.nickname.value_or(none), names.group.value_or(none));
    const EntryNames reread = ReadEntryNames(tail.empty() ? tail : tail.substr(1));
    const auto same = [](const std::optional<QString>& read,
                         const std::optional<QString>& written) {
        const bool ascii = !written || IsPlainAscii(written->toStdString());
        return ascii ? !read : read == written;
    };
    Check(same(reread.user, names.user) && same(reread.host, names.host) &&
          same(reread.nickname, names.nickname) && same(reread.group, names.group));
    // A message read as UTF-8 or CP932, and its CP932 for the history: one mark at most for
    // each character.
    const QString shown = MessageTextOf(packet);
    std::size_t marks = 0;
    const std::string filed = ToCp932(shown, &marks);
    Check(marks <= static_cast<size_t>(shown.size()));
    Check(Cp932Columns(shown) <= 2 * shown.size());
    Check((packet.command & ~0xFF) == 0 && (packet.options & 0xFF) == 0);
    Check(packet.user.find(':') == std::string::npos && packet.host.find(':') == std::string::npos);

    // Written back, the packet reads the same.
    const std::string again =
        BuildPacket(static_cast<unsigned>(packet.packetNumber), packet.user, packet.host,
                    packet.command | packet.options, packet.extra);
    const ChatPacket back = ParsePacket(again, sender);
    Check(back.version == 1 && back.packetNumber == packet.packetNumber);
    Check(back.user == packet.user && back.host == packet.host);
    Check(back.command == packet.command && back.options == packet.options);
    Check(back.extra == packet.extra);

    // Extras: the nickname stops at the first "[" character (a second byte that looks like one
    // is no bracket), whereabouts come back as written.
    const std::string nickname = NicknameOf(packet.extra);
    const std::string where = WhereaboutsOf(packet.extra);
    Check(Cp932Find(nickname, '[') == std::string::npos && where.size() <= packet.extra.size());
    // A stray first byte at the end would take the bracket written after it as its second.
    if (Cp932Find(nickname + "[", '[') == nickname.size() &&
        Cp932Find(where + "]", ']') == where.size()) {
        const ChatPacket away =
            ParsePacket(BuildPresencePacket(1, "u", "h", 1, nickname, false, where), sender);
        Check(away.options == 0x100 && NicknameOf(away.extra) == nickname &&
              WhereaboutsOf(away.extra) == where);
    }

    // Records from the packet: cut to their fields, and their lines give their keys back.
    MemberTable table;
    const RuleOutcome entry = table.Entry(packet);
    Check(table.Size() == 1 && entry.event.has_value());
    const MemberRecord& record = entry.event->record;
    const std::string key = MemberKey(record);
    const std::string host = FieldText(record.host);
    if (Cp932Find(FieldText(record.nickname), '[') == std::string::npos &&
        Cp932Find(host, ']') == std::string::npos && Cp932Find(host, '(') == std::string::npos &&
        Cp932Find(host, ')') == std::string::npos) {
        Check(KeyOfLine(MemberListLine(record)) == key);
        Check(KeyOfLine(ChatMemberLine(record)) == key);
        Check(HostOfLine(ChatMemberLine(record)) == FieldText(record.host));
    }
    const auto split = SplitKey(key);
    Check(split && split->address == "192.0.2.9" && split->port == 2425);
    KeyOfLine(text);
    HostOfLine(text);
    table.Absence(packet);
    table.Version(packet);
    table.Exit(packet);
    Check(table.Size() == 0);

    const ChatText chatText = MakeChatText(packet.extra);
    Check(chatText.length >= 1 && chatText.length <= 256 &&
          TextOf(chatText).size() == static_cast<size_t>(chatText.length - 1));

    // A search by character finds what a byte search finds, but only where a character
    // starts.
    const std::string needle = text.substr(0, std::min<size_t>(text.size(), 3));
    const std::string haystack = text.substr(needle.size());
    const size_t found = Cp932Find(haystack, needle);
    if (found != std::string::npos) {
        Check(haystack.compare(found, needle.size(), needle) == 0);
        size_t at = 0;
        while (at < found) at += Cp932CharLength(haystack, at);
        Check(at == found);
    } else if (!needle.empty()) {
        for (size_t at = 0; at < haystack.size(); at += Cp932CharLength(haystack, at))
            Check(haystack.compare(at, needle.size(), needle) != 0);
    }

    // Texts from peers carry no control byte; a message keeps its line breaks as LF alone.
    const std::string name = PrintableName(text);
    Check(name.size() == text.size());
    for (const char c : name) Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    const std::string message = PrintableMessage(text);
    Check(message.size() <= text.size());
    for (const char c : message)
        Check(c == '\n' || (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F));
    Check(PrintableMessage(message) == message);

    // The broadcast list survives being written and read again.
    const auto list = BroadcastList(text);
    for (const auto& address : list) Check(!address.empty());
    bool separable = true;
    for (const auto& address : list)
        separable = separable && Cp932Find(address + "~:_", "~:_") == address.size();
    if (separable) Check(BroadcastList(JoinBroadcastList(list)) == list);
    // What a packet to all goes to: numeric, once each, bounded, and nothing lost unsaid.
    std::vector<std::string> skipped;
    const auto targets = BroadcastTargets(list, &skipped);
    Check(targets.size() <= kMostBroadcastTargets &&
          targets.size() + skipped.size() == list.size());
    for (size_t i = 0; i < targets.size(); ++i) {
        Check(IsNumericAddress(targets[i]));
        for (size_t j = 0; j < i; ++j) Check(targets[i] != targets[j]);
    }
    // The dialog's check and the chat's agree on what is numeric.
    Check(IsNumericAddress(text) == IsNumericBroadcastAddress(text));
    return 0;
}
