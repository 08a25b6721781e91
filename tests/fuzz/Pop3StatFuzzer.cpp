// The single-line POP3 replies the mail check reads after the password: STAT's total, whether
// a PASS reply carries a count, a temporary refusal, and the plan built on them. Whatever the
// bytes, no read goes past the reply and the plan ends in QUIT or a failure.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "mail/Pop3Count.h"
#include "mail/Pop3Reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // Up to three replies in one input, split at line feeds: PASS, STAT, LAST.
    std::string_view replies[3];
    std::string_view rest = bytes;
    for (auto& reply : replies) {
        const std::size_t end = rest.find('\n');
        reply = rest.substr(0, end == std::string_view::npos ? rest.size() : end + 1);
        rest.remove_prefix(reply.size());
    }

    const auto total = kestrel::pop3::ParseStatTotal(replies[1]);
    if (total && !kestrel::pop3::IsPositiveReply(replies[1])) std::abort();
    kestrel::pop3::IsTemporaryRefusal(replies[0]);

    using Next = kestrel::pop3::PopCountPlan::Next;
    kestrel::pop3::PopCountPlan plan;
    Next next = plan.OnPass(replies[0]);
    if (next == Next::Stat) next = plan.OnStat(replies[1]);
    if (next == Next::Last) next = plan.OnLast(replies[2]);
    if (next == Next::Uidl) next = plan.OnUidl(static_cast<std::uint32_t>(size));
    if (next != Next::Quit && next != Next::Fail) std::abort();
    if (next == Next::Fail && total) std::abort();
    if (next == Next::Quit) plan.Unread();
    return 0;
}
