#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::imap {

// Caps on what one server response may make the reader hold. A literal's size comes from the
// server and is checked against its cap before any of it is kept; the check only needs short
// responses (capabilities, STATUS, the IDLE notices), so a response beyond these is taken as
// a broken server, not as mail.
inline constexpr std::size_t kMaxLine = 64 * 1024;       // one line, its literals aside
inline constexpr std::size_t kMaxLiteral = 64 * 1024;    // one {n} literal
inline constexpr std::size_t kMaxResponse = 256 * 1024;  // lines and literals together

// One whole response: a tagged completion, an untagged "*" line or a "+" continuation.
struct Response {
    enum class Kind { Tagged, Untagged, Continuation };
    Kind kind = Kind::Untagged;
    std::string tag;                      // tagged responses
    std::optional<std::uint32_t> number;  // "* 3 EXISTS": 3
    // The first word after the tag or number, upper case: OK, NO, BAD, BYE, PREAUTH for
    // status responses, else the data's name (CAPABILITY, STATUS, EXISTS, ...).
    std::string keyword;
    std::string code;  // a status response's "[...]" code, without the brackets
    // What follows the keyword (and code), each literal left in as its "{n}" marker.
    std::string text;
    std::vector<std::string> literals;
    // The whole response as one line for the log, literals as their markers.
    std::string line;

    bool IsStatus() const;
};

// Splits a server's byte stream, cut anywhere, into responses. A line longer than kMaxLine, a
// literal over kMaxLiteral, a response over kMaxResponse, a zero byte or a line that is no
// response at all breaks the reader for good: the dialogue ends there with an error.
class ResponseReader {
public:
    void Feed(std::string_view bytes);
    std::optional<Response> Next();
    bool Broken() const { return !m_fault.empty(); }
    const std::string& Fault() const { return m_fault; }
    // Bytes taken in that are not yet part of a whole response.
    std::size_t Pending() const { return m_buffer.size() + m_logical.size(); }
    // Anything taken in beyond the responses already handed out.
    bool HasMore() const { return !m_ready.empty() || Pending() != 0 || m_inLiteral; }

private:
    void Parse();
    void Finish();
    void Break(std::string why);

    std::string m_buffer;   // bytes not yet looked at
    std::string m_logical;  // the response so far, literals as markers
    std::vector<std::string> m_literals;
    std::size_t m_literalLeft = 0;
    std::size_t m_responseSize = 0;
    bool m_inLiteral = false;
    std::deque<Response> m_ready;
    std::string m_fault;
};

// Capabilities, upper case, named by a CAPABILITY response or a [CAPABILITY ...] code;
// nothing when the response names none.
std::optional<std::set<std::string>> Capabilities(const Response& response);

// The UNSEEN count of a "* STATUS <mailbox> (... UNSEEN n ...)" response.
std::optional<std::uint32_t> StatusUnseen(const Response& response);

// A refusal for the moment: the server is down, the box is in use or a limit is reached. The
// account may well be right; the next check tries again.
bool IsTemporaryRefusal(const Response& response);

// field as an IMAP quoted string appended to out; false (out unchanged) when it cannot be
// one: a line break, a zero byte or an 8-bit byte.
bool AppendQuoted(std::string_view field, std::string& out);

// An untagged notice that the mailbox changed under an IDLE (a message came, went, or had its
// flags changed elsewhere).
bool IsMailboxChange(const Response& response);

}  // namespace kestrel::imap
