#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::pop3 {

// The reply to UIDL, read as it arrives: the status line, then one "number uidl" line per
// message up to the line ".". Bytes may come in any pieces. A uidl is kept byte for byte,
// whatever its bytes (servers do send some outside printable ASCII). Limits keep the memory
// bounded whatever the server sends: a line longer than kMaxLine, a uidl longer than
// kMaxUidl (the protocol's 70) or more than kMaxMessages lines spoil the listing, which then
// counts nothing.
class UidlListing {
public:
    static constexpr std::size_t kMaxUidl = 70;
    static constexpr std::size_t kMaxLine = 512;
    static constexpr std::size_t kMaxMessages = 200000;
    static constexpr std::size_t kMaxStatus = 1023;

    enum class State { Status, Lines, Done, Refused, Malformed, TooMany };

    // Take the next bytes; bytes after the end of the listing are ignored.
    void Feed(std::string_view bytes);
    State CurrentState() const { return m_state; }
    bool Finished() const { return m_state != State::Status && m_state != State::Lines; }

    // The status line without its line end (at most kMaxStatus bytes of it).
    const std::string& StatusLine() const { return m_status; }
    // The uidls in listing order, once Done.
    const std::vector<std::string>& Uidls() const { return m_uidls; }
    std::vector<std::string> TakeUidls() { return std::move(m_uidls); }

private:
    void EndLine();
    void ListingLine(std::string_view line);

    State m_state = State::Status;
    std::string m_line;
    bool m_lineTooLong = false;
    std::string m_status;
    std::vector<std::string> m_uidls;
};

}  // namespace kestrel::pop3
