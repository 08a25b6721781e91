#include "settings/InputChecks.h"

#include <cstdint>
#include <string>

namespace kestrel {
namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// atoi's reading of one part, saturated instead of overflowing: leading white space, an
// optional sign, then as many digits as there are.
long long AtoiValue(std::string_view part) {
    size_t i = 0;
    while (i < part.size() && IsSpace(part[i])) ++i;
    bool negative = false;
    if (i < part.size() && (part[i] == '+' || part[i] == '-')) negative = part[i++] == '-';
    long long value = 0;
    for (; i < part.size() && IsDigit(part[i]); ++i) {
        value = value * 10 + (part[i] - '0');
        if (value > 100000) value = 100000;  // far past 255: only the comparison matters
    }
    return negative ? -value : value;
}

}  // namespace

std::optional<unsigned> ParseUnsignedField(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsSpace(text[begin])) ++begin;
    while (end > begin && IsSpace(text[end - 1])) --end;
    if (begin == end) return std::nullopt;
    std::uint64_t value = 0;
    for (size_t i = begin; i < end; ++i) {
        if (!IsDigit(text[i])) return std::nullopt;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
        if (value > UINT32_MAX) return std::nullopt;
    }
    return static_cast<unsigned>(value);
}

bool IsAcceptedBroadcastAddress(std::string_view text) {
    std::string rest(text);
    rest += "....";
    std::string_view view(rest);
    for (int part = 0; part < 4; ++part) {
        const size_t dot = view.find('.');
        const std::string_view piece = view.substr(0, dot);
        view.remove_prefix(dot + 1);
        const long long value = AtoiValue(piece);
        if (!(piece == "0" || (value >= 1 && value <= 255))) return false;
    }
    return view == "...";
}

bool IsNumericBroadcastAddress(std::string_view text) {
    int parts = 0;
    while (parts < 4) {
        std::size_t digits = 0;
        unsigned value = 0;
        while (digits < text.size() && digits < 4 && text[digits] >= '0' && text[digits] <= '9')
            value = value * 10 + static_cast<unsigned>(text[digits++] - '0');
        if (digits == 0 || digits > 3 || value > 255 || (digits > 1 && text[0] == '0'))
            return false;
        text.remove_prefix(digits);
        if (++parts < 4) {
            if (text.empty() || text[0] != '.') return false;
            text.remove_prefix(1);
        }
    }
    return text.empty();
}

bool IsAcceptedNickname(std::string_view cp932) {
    for (size_t i = 0; i < cp932.size(); ++i) {
        const auto c = static_cast<unsigned char>(cp932[i]);
        if (IsLeadByte(c)) {
            ++i;  // the trail byte belongs to the character, whatever its value
            continue;
        }
        if (c == ':' || c == '[' || c == ']' || c == '<' || c == '>') return false;
    }
    return true;
}

}  // namespace kestrel
