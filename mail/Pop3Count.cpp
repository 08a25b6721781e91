#include "mail/Pop3Count.h"

#include <cctype>
#include <limits>
#include <string>

#include "mail/Pop3Reply.h"

namespace kestrel::pop3 {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::uint32_t Number(std::string_view digits) {
    constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
    std::uint32_t value = 0;
    for (char c : digits) {
        if (!IsDigit(c)) break;
        const auto digit = static_cast<std::uint32_t>(c - '0');
        if (value > (kMax - digit) / 10) return kMax;
        value = value * 10 + digit;
    }
    return value;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) !=
            std::toupper(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

}  // namespace

bool PassReplyHasCount(std::string_view passReply) {
    const std::string_view rest = passReply.size() > 3 ? passReply.substr(3) : std::string_view{};
    for (char c : rest) {
        if (IsDigit(c)) return true;
    }
    return false;
}

std::optional<std::uint32_t> ParseStatTotal(std::string_view statReply) {
    if (!IsPositiveReply(statReply)) return std::nullopt;
    std::string_view rest = statReply.substr(3);
    std::size_t at = 0;
    while (at < rest.size() && rest[at] == ' ') ++at;
    if (at == 0 || at >= rest.size() || !IsDigit(rest[at])) return std::nullopt;
    return Number(rest.substr(at));
}

bool IsTemporaryRefusal(std::string_view reply) {
    if (!StartsWithNoCase(reply, "-ERR")) return false;
    std::string_view rest = reply.substr(4);
    std::size_t at = 0;
    while (at < rest.size() && rest[at] == ' ') ++at;
    rest = rest.substr(at);
    // A code may carry sub-codes after a "/" ("[SYS/TEMP/DISK]" is still SYS/TEMP).
    for (std::string_view code : {"[IN-USE", "[LOGIN-DELAY", "[SYS/TEMP"}) {
        if (!StartsWithNoCase(rest, code)) continue;
        const std::string_view after = rest.substr(code.size());
        if (!after.empty() && (after[0] == ']' || after[0] == '/')) return true;
    }
    return false;
}

PopCountPlan::Next PopCountPlan::AfterTotal(std::uint32_t total) {
    m_total = total;
    if (total == 0) {
        m_unread = 0;
        return Next::Quit;
    }
    return Next::Last;
}

PopCountPlan::Next PopCountPlan::OnPass(std::string_view passReply) {
    if (!PassReplyHasCount(passReply)) return Next::Stat;
    return AfterTotal(ParseMessageTotal(passReply));
}

PopCountPlan::Next PopCountPlan::OnStat(std::string_view statReply) {
    const auto total = ParseStatTotal(statReply);
    if (!total) return Next::Fail;
    return AfterTotal(*total);
}

PopCountPlan::Next PopCountPlan::OnLast(std::string_view lastReply) {
    if (!IsPositiveReply(lastReply)) return Next::Uidl;
    const std::uint32_t last = ParseLastNumber(lastReply);
    if (last <= m_total) m_unread = m_total - last;
    return Next::Quit;
}

PopCountPlan::Next PopCountPlan::OnUidl(std::uint32_t unread) {
    m_unread = unread;
    return Next::Quit;
}

std::optional<std::uint32_t> PopCountPlan::Unread() const {
    return m_unread;
}

}  // namespace kestrel::pop3
