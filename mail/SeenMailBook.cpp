#include "mail/SeenMailBook.h"

#include <algorithm>
#include <charconv>

namespace kestrel {
namespace {

constexpr std::string_view kHeader = "KestrelSeenMail 1";
constexpr std::string_view kAccount = "account ";
constexpr std::string_view kPartial = "partial";
constexpr std::string_view kEnd = "end";

// Every byte outside printable ASCII, the blank and "%" are written as %XX, so a field is
// one blank-free token and a uidl one line, whatever bytes they hold.
std::string Escape(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b >= 0x7F || c == '%') {
            out.push_back('%');
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 0x0F]);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b <= 0x20 || b >= 0x7F) return std::nullopt;
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = HexValue(text[i + 1]);
        const int low = HexValue(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return out;
}

// The lines of the file; a last line without its line end is left out (the file was cut).
class Lines {
public:
    explicit Lines(std::string_view bytes) : m_bytes(bytes) {}
    std::optional<std::string_view> Next() {
        const std::size_t end = m_bytes.find('\n', m_at);
        if (end == std::string_view::npos) return std::nullopt;
        const std::string_view line = m_bytes.substr(m_at, end - m_at);
        m_at = end + 1;
        return line;
    }

private:
    std::string_view m_bytes;
    std::size_t m_at = 0;
};

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at <= line.size()) {
        const std::size_t blank = line.find(' ', at);
        const std::size_t end = blank == std::string_view::npos ? line.size() : blank;
        fields.push_back(line.substr(at, end - at));
        if (blank == std::string_view::npos) break;
        at = blank + 1;
    }
    return fields;
}

template <typename T>
bool ParseDecimal(std::string_view text, T& value) {
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size();
}

}  // namespace

SeenMailBook::Entry& SeenMailBook::Front(const MailAccount& account) {
    auto it = std::find_if(m_entries.begin(), m_entries.end(),
                           [&](const Entry& e) { return e.account == account; });
    if (it == m_entries.end()) {
        Entry entry;
        entry.account = account;
        // Not in a file that was read whole: a mailbox never seen. Not in a damaged one: it
        // may have been in the lost part.
        entry.untrusted = m_damaged;
        m_entries.insert(m_entries.begin(), std::move(entry));
    } else if (it != m_entries.begin()) {
        std::rotate(m_entries.begin(), it, it + 1);
    }
    return m_entries.front();
}

SeenMailBook::Outcome SeenMailBook::Observe(const MailAccount& account,
                                            std::vector<std::string> listing) {
    Outcome outcome;
    Entry& entry = Front(account);
    const std::set<std::string> present(listing.begin(), listing.end());
    if (entry.untrusted) {
        entry.seen = present;
        entry.untrusted = false;
        outcome.changed = true;
    } else {
        for (auto it = entry.seen.begin(); it != entry.seen.end();) {
            if (present.count(*it) == 0) {
                it = entry.seen.erase(it);
                outcome.changed = true;
            } else {
                ++it;
            }
        }
        for (const auto& uidl : present) {
            if (entry.seen.count(uidl) == 0) ++outcome.unread;
        }
    }
    m_latestAccount = account;
    m_latestListing = std::move(listing);
    return outcome;
}

bool SeenMailBook::MarkRead() {
    if (!m_latestAccount) return false;
    Entry& entry = Front(*m_latestAccount);
    std::set<std::string> read(m_latestListing.begin(), m_latestListing.end());
    if (read == entry.seen && !entry.untrusted) return false;
    entry.seen = std::move(read);
    entry.untrusted = false;
    return true;
}

std::string SeenMailBook::Serialize() const {
    std::string out(kHeader);
    out.push_back('\n');
    std::size_t accounts = 0;
    std::size_t entries = 0;
    bool dropped = m_damaged;
    for (const Entry& entry : m_entries) {
        // An untrusted part is left out; the "partial" mark keeps it untrusted.
        if (entry.untrusted || accounts == kMaxAccounts ||
            entries + entry.seen.size() > kMaxEntries) {
            dropped = true;
            continue;
        }
        ++accounts;
        entries += entry.seen.size();
        out += kAccount;
        out += Escape(entry.account.server) + ' ' + std::to_string(entry.account.port) + ' ' +
               Escape(entry.account.user) + ' ' + std::to_string(entry.seen.size()) + '\n';
        for (const auto& uidl : entry.seen) {
            out += Escape(uidl);
            out.push_back('\n');
        }
    }
    if (dropped) {
        out += kPartial;
        out.push_back('\n');
    }
    out += kEnd;
    out.push_back('\n');
    return out;
}

SeenMailBook SeenMailBook::Unreadable() {
    SeenMailBook book;
    book.m_damaged = true;
    return book;
}

// Anything amiss, a cut included, and nothing of the file is trusted: a part that looks whole
// may still be a damaged one, and taking it would announce old mail.
SeenMailBook SeenMailBook::Parse(std::string_view bytes) {
    SeenMailBook book;
    Lines lines(bytes);
    const auto header = lines.Next();
    if (!header || *header != kHeader) return Unreadable();

    std::size_t entries = 0;
    while (true) {
        const auto line = lines.Next();
        if (!line) return Unreadable();
        if (*line == kEnd) return book;
        if (*line == kPartial) {
            book.m_damaged = true;
            continue;
        }
        const auto fields = Fields(*line);
        Entry entry;
        std::size_t count = 0;
        const auto server = fields.size() == 5 && fields[0] == "account"
                                ? Unescape(fields[1])
                                : std::optional<std::string>{};
        const auto user = server ? Unescape(fields[3]) : std::optional<std::string>{};
        if (!user || !ParseDecimal(fields[2], entry.account.port) ||
            !ParseDecimal(fields[4], count) || count > kMaxEntries - entries) {
            return Unreadable();
        }
        entry.account.server = *server;
        entry.account.user = *user;
        for (std::size_t i = 0; i < count; ++i) {
            const auto uidlLine = lines.Next();
            const auto uidl = uidlLine ? Unescape(*uidlLine) : std::optional<std::string>{};
            if (!uidl || uidl->empty() || uidl->size() > kMaxUidl) return Unreadable();
            entry.seen.insert(*uidl);
        }
        entries += count;
        const bool known = std::any_of(book.m_entries.begin(), book.m_entries.end(),
                                       [&](const Entry& e) { return e.account == entry.account; });
        if (known || book.m_entries.size() == kMaxAccounts) return Unreadable();
        book.m_entries.push_back(std::move(entry));
    }
}

std::optional<std::set<std::string>> SeenMailBook::SeenOf(const MailAccount& account) const {
    for (const Entry& entry : m_entries) {
        if (entry.account == account && !entry.untrusted) return entry.seen;
    }
    return std::nullopt;
}

}  // namespace kestrel
