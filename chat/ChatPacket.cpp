#include "chat/ChatPacket.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "res/Cp932.h"

namespace kestrel {

namespace {

constexpr std::string_view kListSeparator = "~:_";

bool IsLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

long Decimal(std::string_view field) {
    // strtol needs a terminated string; the field is a view into a larger text.
    const std::string text(field);
    return std::strtol(text.c_str(), nullptr, 10);
}

}  // namespace

std::string_view CutCp932(std::string_view text, std::size_t maxBytes) {
    std::size_t n = 0;
    while (n < text.size()) {
        const std::size_t step = IsLeadByte(static_cast<unsigned char>(text[n])) ? 2 : 1;
        if (n + step > maxBytes || n + step > text.size()) break;
        n += step;
    }
    return text.substr(0, n);
}

ChatText MakeChatText(std::string_view text) {
    ChatText block;
    const std::string_view kept = CutCp932(text.substr(0, text.find('\0')), sizeof block.text - 1);
    std::memcpy(block.text, kept.data(), kept.size());
    block.length = static_cast<std::int32_t>(kept.size()) + 1;
    return block;
}

std::string TextOf(const ChatText& text) {
    return std::string(text.text, ::strnlen(text.text, sizeof text.text));
}

std::string DatagramText(const char* data, int length) {
    if (!data || length <= 0) return {};
    return std::string(data, ::strnlen(data, static_cast<std::size_t>(length)));
}

std::string DatagramRest(const char* data, int length) {
    if (!data || length <= 0) return {};
    const std::size_t text = ::strnlen(data, static_cast<std::size_t>(length));
    if (text + 1 >= static_cast<std::size_t>(length)) return {};
    return std::string(data + text + 1, static_cast<std::size_t>(length) - text - 1);
}

ChatPacket ParsePacket(std::string_view text, const SocketEvent& sender) {
    // Five fields end at a colon each; whatever follows the fifth colon is the extra, colons
    // and all. A field without its colon runs to the end of the text, and every later field
    // is empty.
    std::string_view fields[5];
    std::string_view rest = text;
    bool complete = true;
    for (auto& field : fields) {
        const std::size_t colon = rest.find(':');
        if (colon == std::string_view::npos) {
            field = rest;
            rest = {};
            complete = false;
            break;
        }
        field = rest.substr(0, colon);
        rest.remove_prefix(colon + 1);
    }
    ChatPacket packet;
    packet.version = static_cast<int>(Decimal(fields[0]));
    packet.packetNumber = static_cast<int>(Decimal(fields[1]));
    packet.user = std::string(fields[2]);
    packet.host = std::string(fields[3]);
    const auto command = static_cast<unsigned long>(Decimal(fields[4]));
    packet.command = static_cast<int>(command & 0xFFu);
    packet.options = static_cast<int>(static_cast<std::uint32_t>(command & ~0xFFul));
    if (complete) packet.extra = std::string(rest);
    packet.sender = sender;
    return packet;
}

ChatPacket ParseDatagram(const char* data, int length, const SocketEvent& sender) {
    ChatPacket packet = ParsePacket(DatagramText(data, length), sender);
    packet.rest = DatagramRest(data, length);
    return packet;
}

std::string NicknameOf(std::string_view extra) {
    return std::string(extra.substr(0, Cp932Find(extra, '[')));
}

std::string WhereaboutsOf(std::string_view extra) {
    const std::size_t open = Cp932Find(extra, '[');
    if (open == std::string_view::npos) return {};
    const std::size_t close = Cp932Find(extra, ']', open + 1);
    if (close == std::string_view::npos) return {};
    return std::string(extra.substr(open + 1, close - open - 1));
}

std::string PrintableName(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return out;
}

std::string PrintableMessage(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += '\n';
        } else {
            out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
        }
    }
    return out;
}

std::string BuildPacket(unsigned packetNumber, std::string_view user, std::string_view host,
                        int command, std::string_view extra) {
    std::string text = "1:";
    text += std::to_string(packetNumber);
    text += ':';
    text += user;
    text += ':';
    text += host;
    text += ':';
    text += std::to_string(command);
    text += ':';
    text += extra;
    return text;
}

std::string BuildPresencePacket(unsigned packetNumber, std::string_view user, std::string_view host,
                                int command, std::string_view nickname, bool present,
                                std::string_view whereabouts) {
    if (present) return BuildPacket(packetNumber, user, host, command, nickname);
    std::string extra(nickname);
    extra += '[';
    extra += whereabouts;
    extra += ']';
    return BuildPacket(packetNumber, user, host, command | 0x100, extra);
}

std::string BuildAckPacket(unsigned packetNumber, std::string_view user, std::string_view host,
                           unsigned acknowledged) {
    return BuildPacket(packetNumber, user, host, 0x21, std::to_string(acknowledged));
}

std::vector<std::string> BroadcastList(std::string_view setting) {
    std::vector<std::string> addresses;
    std::string text(setting);
    text += kListSeparator;
    std::string_view rest = text;
    for (std::size_t cut; (cut = Cp932Find(rest, kListSeparator)) != std::string_view::npos;) {
        if (cut > 0) addresses.emplace_back(rest.substr(0, cut));
        rest.remove_prefix(cut + kListSeparator.size());
    }
    return addresses;
}

bool IsNumericAddress(std::string_view address) {
    // inet_pton takes exactly the four dotted decimal parts, nothing a resolver would look up.
    if (address.empty() || address.size() > 15) return false;
    const std::string text(address);
    in_addr parsed{};
    return ::inet_pton(AF_INET, text.c_str(), &parsed) == 1;
}

std::vector<std::string> BroadcastTargets(const std::vector<std::string>& list,
                                          std::vector<std::string>* skipped) {
    std::vector<std::string> targets;
    for (const auto& address : list) {
        const bool fits = IsNumericAddress(address) && targets.size() < kMostBroadcastTargets &&
                          std::find(targets.begin(), targets.end(), address) == targets.end();
        if (fits)
            targets.push_back(address);
        else if (skipped)
            skipped->push_back(address);
    }
    return targets;
}

std::string JoinBroadcastList(const std::vector<std::string>& addresses) {
    std::string setting;
    for (const auto& address : addresses) {
        setting += address;
        setting += kListSeparator;
    }
    return setting;
}

}  // namespace kestrel
