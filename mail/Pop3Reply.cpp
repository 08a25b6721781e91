#include "mail/Pop3Reply.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "net/LogText.h"
#include "res/Cp932.h"
#include "res/Text.h"

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

}  // namespace kestrel::pop3
