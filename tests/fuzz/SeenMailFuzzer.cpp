// The file of mail already read: any bytes parse without harm; what was parsed writes out
// in a form that reads back to the same book; and a damaged file never makes mail new on the
// first listing of a mailbox.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mail/SeenMailBook.h"

using kestrel::MailAccount;
using kestrel::SeenMailBook;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    SeenMailBook book = SeenMailBook::Parse(bytes);

    const std::string once = book.Serialize();
    const SeenMailBook again = SeenMailBook::Parse(once);
    if (again.Serialize() != once || again.Damaged() != book.Damaged()) std::abort();

    const MailAccount account{"pop.example", 110, "alice"};
    const auto outcome = book.Observe(account, {"a", "b", "c"});
    if (book.Damaged() && !again.SeenOf(account) && outcome.unread != 0) std::abort();
    if (outcome.unread > 3) std::abort();
    book.MarkRead();
    if (book.Observe(account, {"a", "b", "c"}).unread != 0) std::abort();
    return 0;
}
