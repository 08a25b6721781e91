#include "mail/UidlListing.h"

#include "mail/Pop3Reply.h"

namespace kestrel::pop3 {

void UidlListing::Feed(std::string_view bytes) {
    for (char c : bytes) {
        if (Finished()) return;
        if (c == '\n') {
            EndLine();
            continue;
        }
        if (m_state == State::Status) {
            if (m_line.size() < kMaxStatus) m_line.push_back(c);
        } else if (m_line.size() < kMaxLine) {
            m_line.push_back(c);
        } else {
            m_lineTooLong = true;
        }
    }
}

void UidlListing::EndLine() {
    // Lines end in CR LF; a bare LF is taken as well.
    if (!m_line.empty() && m_line.back() == '\r') m_line.pop_back();
    if (m_state == State::Status) {
        m_status = m_line;
        m_state = IsPositiveReply(m_status) ? State::Lines : State::Refused;
    } else if (m_lineTooLong) {
        m_state = State::Malformed;
    } else {
        ListingLine(m_line);
    }
    m_line.clear();
    m_lineTooLong = false;
}

void UidlListing::ListingLine(std::string_view line) {
    if (line == ".") {
        m_state = State::Done;
        return;
    }
    // A line that starts with "." has had one more put before it on the wire.
    if (!line.empty() && line[0] == '.') line.remove_prefix(1);

    std::size_t at = 0;
    while (at < line.size() && line[at] >= '0' && line[at] <= '9') ++at;
    const std::size_t digits = at;
    while (at < line.size() && line[at] == ' ') ++at;
    if (digits == 0 || at == digits || at >= line.size()) {
        m_state = State::Malformed;
        return;
    }
    std::string_view uidl = line.substr(at);
    const std::size_t space = uidl.find(' ');
    if (space != std::string_view::npos) uidl = uidl.substr(0, space);
    if (uidl.empty() || uidl.size() > kMaxUidl) {
        m_state = State::Malformed;
        return;
    }
    if (m_uidls.size() >= kMaxMessages) {
        m_state = State::TooMany;
        m_uidls.clear();
        return;
    }
    m_uidls.emplace_back(uidl);
}

}  // namespace kestrel::pop3
