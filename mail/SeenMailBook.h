#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

// One mailbox: the same user on the same server and port.
struct MailAccount {
    std::string server;
    int port = 0;
    std::string user;
    bool operator==(const MailAccount&) const = default;
};

// The mail the user has already gone to read, per mailbox, for servers without LAST: a
// message counts as unread until the user starts the mail reader while it is on the server.
// Plain data with its file form; SeenMailStore keeps it in the file.
//
// A file that could not be read whole never makes old mail new: with a damaged file, each
// mailbox starts again from what is on the server at its next check, all of it taken as
// read, so only mail arriving after that is announced.
class SeenMailBook {
public:
    static constexpr std::size_t kMaxAccounts = 8;
    // Uidls kept in all, over every mailbox: the file stays a few megabytes at most.
    static constexpr std::size_t kMaxEntries = 200000;
    static constexpr std::size_t kMaxUidl = 70;

    struct Outcome {
        std::uint32_t unread = 0;
        bool changed = false;  // the book differs from its file form: save it
    };

    // A check listed these uidls for account: how many are unread. Read messages gone from
    // the server leave the book; the listing is kept as the latest, for MarkRead.
    Outcome Observe(const MailAccount& account, std::vector<std::string> listing);
    // The user started the mail reader: the latest listing is read. True when that changed
    // the book.
    bool MarkRead();

    // The file form, within the limits above: the most recently checked mailboxes first.
    std::string Serialize() const;
    // Never fails: a damaged file gives a book that trusts nothing, as described above.
    static SeenMailBook Parse(std::string_view bytes);
    // A book standing for a file that exists but could not be read at all.
    static SeenMailBook Unreadable();

    // For tests: the uidls read in a mailbox, and whether its next check starts afresh.
    std::optional<std::set<std::string>> SeenOf(const MailAccount& account) const;
    bool Damaged() const { return m_damaged; }

private:
    struct Entry {
        MailAccount account;
        std::set<std::string> seen;
        bool untrusted = false;  // from a damaged file: start again at the next listing
    };

    Entry& Front(const MailAccount& account);

    std::vector<Entry> m_entries;  // the most recently checked first
    // The file could not be read whole, or some mailboxes had to be left out of it: a
    // mailbox not found in it may have been lost.
    bool m_damaged = false;
    std::optional<MailAccount> m_latestAccount;
    std::vector<std::string> m_latestListing;
};

}  // namespace kestrel
