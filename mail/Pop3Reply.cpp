#include "mail/Pop3Reply.h"

#include "net/LogText.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace kestrel::pop3 {
namespace {

std::uint32_t LeadingNumber(std::string_view text) {
    constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
    std::uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        const std::uint32_t digit = static_cast<std::uint32_t>(c - '0');
        if (value > (kMax - digit) / 10) return kMax;
        value = value * 10 + digit;
    }
    return value;
}

std::string_view From(std::string_view text, std::size_t offset) {
    return offset < text.size() ? text.substr(offset) : std::string_view{};
}

bool IsLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

}  // namespace

bool IsPositiveReply(std::string_view reply) {
    if (reply.size() < 3) return false;
    return reply[0] == '+' && std::toupper(static_cast<unsigned char>(reply[1])) == 'O' &&
           std::toupper(static_cast<unsigned char>(reply[2])) == 'K';
}

std::uint32_t ParseMessageTotal(std::string_view passReply) {
    const std::size_t has = passReply.find("has");
    std::string_view word =
        has == std::string_view::npos ? From(passReply, 3) : From(passReply, has + 4);
    const std::size_t space = word.find(' ');
    if (space == std::string_view::npos) return 0;
    return LeadingNumber(word.substr(0, space));
}

std::uint32_t ParseLastNumber(std::string_view lastReply) {
    std::string_view rest = From(lastReply, 4);
    const std::size_t cr = rest.find('\r');
    if (cr == std::string_view::npos) return 0;
    rest = rest.substr(0, cr);
    const std::size_t space = rest.find(' ');
    if (space != std::string_view::npos) rest = rest.substr(0, space);
    return LeadingNumber(rest);
}

CommandFault BuildCommand(std::string_view format, std::string_view field, std::string& out) {
    if (field.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
        return CommandFault::LineBreak;
    }
    std::string command = FillText(format, {field});
    if (command.size() + 1 > kCommandAreaSize) return CommandFault::TooLong;
    out = std::move(command);
    return CommandFault::None;
}

std::string FillText(std::string_view format, std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(format.size() + 64);
    auto next = args.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() &&
            (format[i + 1] == 's' || format[i + 1] == 'd') && next != args.end()) {
            out.append(*next++);
            ++i;
        } else {
            out.push_back(format[i]);
        }
    }
    return out;
}

std::string FillNumbers(std::string_view format, int first, int second) {
    const std::string a = std::to_string(first);
    const std::string b = std::to_string(second);
    return FillText(format, {a, b});
}

std::string FormatRejection(std::string_view format, std::string_view user, std::string_view reply,
                            std::size_t area) {
    if (area == 0) return {};
    const std::size_t limit = area - 1;
    const std::size_t fixed = FillText(format, {"", ""}).size();
    if (fixed > limit) return std::string(format.substr(0, Cp932PrefixLength(format, limit)));
    std::size_t room = limit - fixed;
    const std::size_t userLength = Cp932PrefixLength(user, room);
    room -= userLength;
    // The reply goes to the event log inside this text: a line of its own from the server
    // must not pass for one of ours.
    const std::string safe = net::LogSafeText(reply);
    const std::size_t replyLength = Cp932PrefixLength(safe, room);
    return FillText(format,
                    {user.substr(0, userLength), std::string_view(safe).substr(0, replyLength)});
}

std::size_t Cp932PrefixLength(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text.size();
    std::size_t i = 0;
    while (i < maxBytes) {
        const std::size_t width =
            IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
        if (i + width > maxBytes) break;
        i += width;
    }
    return i;
}

}  // namespace kestrel::pop3
