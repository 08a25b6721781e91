#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// How the mail check comes to its count once the password is accepted, as plain decisions:
// the count the PASS reply gives, else STAT's total; LAST where the server has it, else the
// UIDL listing measured against the mail the user already went to read.
namespace kestrel::pop3 {

// Whether a PASS reply says how many messages there are. A reply with any digit after "+OK"
// is read the classic way, whatever it holds; one without ("+OK Logged in.") says nothing.
bool PassReplyHasCount(std::string_view passReply);

// The message total of a STAT reply "+OK nn mm"; nothing for a refusal or a reply without
// a number where the total belongs. Too large a number stays at the maximum.
std::optional<std::uint32_t> ParseStatTotal(std::string_view statReply);

// A refusal the server itself calls passing (RFC 2449 / 3206 response codes [IN-USE],
// [LOGIN-DELAY], [SYS/TEMP]): the box is locked, the user logs in too often, or the server
// is in trouble. Not a wrong password; trying again later is right.
bool IsTemporaryRefusal(std::string_view reply);

// What the check sends after a positive PASS reply, step by step.
class PopCountPlan {
public:
    enum class Next { Stat, Last, Uidl, Quit, Fail };

    Next OnPass(std::string_view passReply);
    // Fail: the server has no usable STAT.
    Next OnStat(std::string_view statReply);
    // A refused LAST is no failure: the count is taken from the UIDL listing instead.
    Next OnLast(std::string_view lastReply);
    Next OnUidl(std::uint32_t unread);

    // Once Quit has been chosen: the count to report; nothing when LAST named more messages
    // than there are.
    std::optional<std::uint32_t> Unread() const;

private:
    Next AfterTotal(std::uint32_t total);

    std::uint32_t m_total = 0;
    std::optional<std::uint32_t> m_unread;
};

}  // namespace kestrel::pop3
