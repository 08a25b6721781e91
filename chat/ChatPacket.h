#pragma once

// Reading and building the text packets of the peer chat. Pure code: no socket, no window.

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/NetSocket.h"

namespace kestrel {

// A received packet, parsed.
struct ChatPacket {
    int command = 0;  // low 8 bits of the command field
    int options = 0;  // the command field with its low 8 bits cleared
    std::string extra;
    int packetNumber = 0;
    int version = 0;
    std::string host;
    std::string user;
    SocketEvent sender;
    // What the datagram carries after its first zero byte (an entry's group and UTF-8 lines);
    // empty when nothing follows the text.
    std::string rest;
};

// A received message on its way from the peer chat to the view: the text whole, in CP932
// (characters CP932 lacks as "〓") and, when the message came in UTF-8, as it was written.
struct MessageText {
    std::string text;
    QString unicode;  // null: text is the whole message
};

// One message text between windows: its length plus one, then at most 255 bytes.
struct ChatText {
    std::int32_t length = 1;
    char text[256] = {};
};

// Text of at most 255 bytes, cut on a CP932 character boundary.
ChatText MakeChatText(std::string_view text);
std::string TextOf(const ChatText& text);

// The text a datagram carries: up to its first zero byte, never past length.
std::string DatagramText(const char* data, int length);
// The bytes after the first zero byte, up to length (empty without a zero byte).
std::string DatagramRest(const char* data, int length);

// Split a packet text into its six fields; missing fields read as empty or 0, the extra is
// the whole rest (colons included).
ChatPacket ParsePacket(std::string_view text, const SocketEvent& sender = {});

// A whole datagram: its text parsed as ParsePacket does, and the bytes after its first zero
// byte as the packet's rest.
ChatPacket ParseDatagram(const char* data, int length, const SocketEvent& sender = {});

// The nickname of an extra: up to its first "[" (the whole extra without one). Brackets are
// characters: the second byte of ー (81 5B) or 江 (8D 5D) is none.
std::string NicknameOf(std::string_view extra);
// The whereabouts of an extra: between the first "[" and the first "]" after it; empty when
// either is missing.
std::string WhereaboutsOf(std::string_view extra);

// A name from a peer (nickname, user, host, whereabouts, version) as it is shown, filed and
// logged: every control byte a space, so that no peer starts a line of its own anywhere.
std::string PrintableName(std::string_view text);
// A message from a peer: each line break (CR LF, CR or LF) one LF, as the windows show and
// the history files them; every other control byte a space. Control bytes are never the
// second byte of a CP932 character, so double-byte text passes unchanged.
std::string PrintableMessage(std::string_view text);

// Packet texts, without the zero byte the socket adds.
std::string BuildPacket(unsigned packetNumber, std::string_view user, std::string_view host,
                        int command, std::string_view extra);
std::string BuildPresencePacket(unsigned packetNumber, std::string_view user, std::string_view host,
                                int command, std::string_view nickname, bool present,
                                std::string_view whereabouts);
std::string BuildAckPacket(unsigned packetNumber, std::string_view user, std::string_view host,
                           unsigned acknowledged);

// The destinations of a BroadIPs value ("~:_" after every item, the last one optional):
// every non-empty piece, in order.
std::vector<std::string> BroadcastList(std::string_view setting);
// The destinations a packet to all goes to besides 255.255.255.255: the numeric IPv4
// addresses of the list, each once, at most kMostBroadcastTargets. A host name is never
// looked up (it would hold the windows while the resolver waits); what is left out is added
// to skipped when given.
inline constexpr std::size_t kMostBroadcastTargets = 64;
std::vector<std::string> BroadcastTargets(const std::vector<std::string>& list,
                                          std::vector<std::string>* skipped = nullptr);
// Whether an address is a dotted IPv4 address (four decimal parts).
bool IsNumericAddress(std::string_view address);

// The setting for a list of addresses.
std::string JoinBroadcastList(const std::vector<std::string>& addresses);

// Longest prefix of text that fits size-1 bytes without splitting a CP932 character.
std::string_view CutCp932(std::string_view text, std::size_t maxBytes);

}  // namespace kestrel
