#include "news/NntpReply.h"

#include <limits>

#include "res/Text.h"
#include "res/TextsNews.h"

namespace kestrel::nntp {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

bool IsReady(std::string_view greeting) {
    const std::string_view code = greeting.substr(0, 3);
    return code == "200" || code == "201";
}

std::int32_t ParseNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (IsBlank(text[i]) || text[i] == '\n' || text[i] == '\r' ||
                               text[i] == '\v' || text[i] == '\f')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Gathered as a magnitude in 64 bits and held there once past the 32-bit range, so no
    // digit string can overflow.
    constexpr std::int64_t kCap = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value < kCap) value = value * 10 + (text[i] - '0');
    }
    if (negative) {
        return value >= kCap ? std::numeric_limits<std::int32_t>::min()
                             : static_cast<std::int32_t>(-value);
    }
    return value >= kCap ? std::numeric_limits<std::int32_t>::max()
                         : static_cast<std::int32_t>(value);
}

std::int32_t ParseGroupLast(std::string_view reply) {
    if (reply.size() < 5 || reply.substr(0, 3) != "211") return 0;
    std::string_view rest = reply.substr(4);
    for (int field = 0; field < 2; ++field) {
        std::size_t i = 0;
        while (i < rest.size() && IsBlank(rest[i])) ++i;
        if (i == rest.size()) return 0;
        while (i < rest.size() && !IsBlank(rest[i])) ++i;
        rest.remove_prefix(i);
    }
    std::size_t i = 0;
    while (i < rest.size() && IsBlank(rest[i])) ++i;
    if (i == rest.size()) return 0;
    return ParseNumber(rest.substr(i));
}

bool BuildGroupCommand(std::string_view name, std::string& out) {
    if (name.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return false;
    out = FillText(txt::kNntpGroupFormat, {name});
    return true;
}

}  // namespace kestrel::nntp
