#include "mail/ImapResponse.h"

#include <algorithm>
#include <cctype>

namespace kestrel::imap {
namespace {

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool AllDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<std::uint32_t> Number(std::string_view s) {
    if (!AllDigits(s) || s.size() > 10) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : s) value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > UINT32_MAX) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

// The first word of s (up to a space or the end), and s moved past it and one space.
std::string_view TakeWord(std::string_view& s) {
    const std::size_t end = std::min(s.find(' '), s.size());
    const std::string_view word = s.substr(0, end);
    s.remove_prefix(std::min(end + 1, s.size()));
    return word;
}

std::vector<std::string_view> Words(std::string_view s) {
    std::vector<std::string_view> words;
    while (!s.empty()) {
        const std::string_view word = TakeWord(s);
        if (!word.empty()) words.push_back(word);
    }
    return words;
}

// The size a line's closing "{n}" or "{n+}" announces.
std::optional<std::size_t> LiteralMarker(std::string_view line, bool& tooBig) {
    tooBig = false;
    if (line.empty() || line.back() != '}') return std::nullopt;
    const std::size_t open = line.rfind('{');
    if (open == std::string_view::npos) return std::nullopt;
    std::string_view digits = line.substr(open + 1, line.size() - open - 2);
    if (!digits.empty() && digits.back() == '+') digits.remove_suffix(1);
    if (!AllDigits(digits)) return std::nullopt;
    // Compared as text first: a size of any length is refused without being converted.
    const std::string_view trimmed =
        digits.substr(std::min(digits.find_first_not_of('0'), digits.size()));
    if (trimmed.size() > 9) {
        tooBig = true;
        return std::nullopt;
    }
    std::size_t size = 0;
    for (char c : trimmed) size = size * 10 + static_cast<std::size_t>(c - '0');
    if (size > kMaxLiteral) {
        tooBig = true;
        return std::nullopt;
    }
    return size;
}

bool IsStatusWord(std::string_view w) {
    return w == "OK" || w == "NO" || w == "BAD" || w == "BYE" || w == "PREAUTH";
}

}  // namespace

bool Response::IsStatus() const {
    return kind != Kind::Continuation && IsStatusWord(keyword);
}

void ResponseReader::Break(std::string why) {
    if (m_fault.empty()) m_fault = std::move(why);
    m_buffer.clear();
}

void ResponseReader::Feed(std::string_view bytes) {
    if (Broken()) return;
    m_buffer.append(bytes);
    Parse();
}

std::optional<Response> ResponseReader::Next() {
    if (m_ready.empty()) return std::nullopt;
    Response r = std::move(m_ready.front());
    m_ready.pop_front();
    return r;
}

void ResponseReader::Parse() {
    while (!Broken()) {
        if (m_inLiteral) {
            const std::size_t take = std::min(m_literalLeft, m_buffer.size());
            m_literals.back().append(m_buffer, 0, take);
            m_buffer.erase(0, take);
            m_literalLeft -= take;
            if (m_literalLeft > 0) return;
            m_inLiteral = false;
            continue;
        }
        const std::size_t end = m_buffer.find('\n');
        if (end == std::string::npos) {
            if (m_buffer.size() > kMaxLine) Break("line too long");
            return;
        }
        std::string_view line(m_buffer.data(), end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() > kMaxLine) return Break("line too long");
        if (line.find('\0') != std::string_view::npos) return Break("zero byte in a line");
        m_responseSize += line.size();
        if (m_responseSize > kMaxResponse) return Break("response too long");
        m_logical.append(line);
        bool tooBig = false;
        const std::optional<std::size_t> literal = LiteralMarker(line, tooBig);
        m_buffer.erase(0, end + 1);
        if (tooBig) return Break("literal over the cap");
        if (literal) {
            m_responseSize += *literal;
            if (m_responseSize > kMaxResponse) return Break("response too long");
            m_literals.emplace_back();
            m_literals.back().reserve(*literal);
            m_literalLeft = *literal;
            m_inLiteral = true;
            continue;
        }
        Finish();
    }
}

void ResponseReader::Finish() {
    Response r;
    r.line = std::move(m_logical);
    r.literals = std::move(m_literals);
    m_logical.clear();
    m_literals.clear();
    m_responseSize = 0;

    std::string_view rest = r.line;
    if (rest.starts_with('+')) {
        r.kind = Response::Kind::Continuation;
        rest.remove_prefix(1);
        if (rest.starts_with(' ')) rest.remove_prefix(1);
        r.text = rest;
        m_ready.push_back(std::move(r));
        return;
    }
    if (rest.starts_with("* ")) {
        r.kind = Response::Kind::Untagged;
        rest.remove_prefix(2);
    } else {
        r.kind = Response::Kind::Tagged;
        const std::string_view tag = TakeWord(rest);
        const bool atom = !tag.empty() && std::all_of(tag.begin(), tag.end(), [](char c) {
            const auto u = static_cast<unsigned char>(c);
            return u > 0x20 && u < 0x7f && c != '(' && c != ')' && c != '{' && c != '%' &&
                   c != '*' && c != '"' && c != '\\' && c != '+';
        });
        if (!atom) return Break("no tag");
        r.tag = tag;
    }
    std::string_view word = TakeWord(rest);
    if (r.kind == Response::Kind::Untagged && AllDigits(word)) {
        r.number = Number(word);
        if (!r.number) return Break("number out of range");
        word = TakeWord(rest);
    }
    r.keyword = Upper(word);
    if (r.keyword.empty()) return Break("no keyword");
    if (r.kind == Response::Kind::Tagged && r.keyword != "OK" && r.keyword != "NO" &&
        r.keyword != "BAD") {
        return Break("tagged response without a status");
    }
    if (r.IsStatus() && rest.starts_with('[')) {
        const std::size_t close = rest.find(']');
        if (close != std::string_view::npos) {
            r.code = rest.substr(1, close - 1);
            rest.remove_prefix(close + 1);
            if (rest.starts_with(' ')) rest.remove_prefix(1);
        }
    }
    r.text = rest;
    m_ready.push_back(std::move(r));
}

std::optional<std::set<std::string>> Capabilities(const Response& response) {
    std::string_view list;
    if (response.kind == Response::Kind::Untagged && response.keyword == "CAPABILITY") {
        list = response.text;
    } else if (response.IsStatus() && Upper(response.code.substr(0, 11)) == "CAPABILITY ") {
        list = std::string_view(response.code).substr(11);
    } else {
        return std::nullopt;
    }
    std::set<std::string> names;
    for (std::string_view w : Words(list)) names.insert(Upper(w));
    return names;
}

std::optional<std::uint32_t> StatusUnseen(const Response& response) {
    if (response.kind != Response::Kind::Untagged || response.keyword != "STATUS") {
        return std::nullopt;
    }
    std::string_view rest = response.text;
    // The mailbox: quoted, a literal's marker, or an atom.
    if (rest.starts_with('"')) {
        std::size_t i = 1;
        while (i < rest.size() && rest[i] != '"') i += rest[i] == '\\' ? 2 : 1;
        if (i >= rest.size()) return std::nullopt;
        rest.remove_prefix(i + 1);
    } else {
        const std::size_t end = std::min(rest.find(' '), rest.size());
        rest.remove_prefix(end);
    }
    while (rest.starts_with(' ')) rest.remove_prefix(1);
    if (!rest.starts_with('(')) return std::nullopt;
    const std::size_t close = rest.find(')');
    if (close == std::string_view::npos) return std::nullopt;
    const std::vector<std::string_view> items = Words(rest.substr(1, close - 1));
    for (std::size_t i = 0; i + 1 < items.size(); i += 2) {
        if (Upper(items[i]) == "UNSEEN") return Number(items[i + 1]);
    }
    return std::nullopt;
}

bool IsTemporaryRefusal(const Response& response) {
    if (!response.IsStatus() || response.keyword == "OK") return false;
    std::string_view code = response.code;
    const std::string name = Upper(TakeWord(code));
    return name == "UNAVAILABLE" || name == "INUSE" || name == "LIMIT";
}

bool AppendQuoted(std::string_view field, std::string& out) {
    for (char c : field) {
        const auto u = static_cast<unsigned char>(c);
        if (u == 0 || u == '\r' || u == '\n' || u >= 0x80) return false;
    }
    out += '"';
    for (char c : field) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    out += '"';
    return true;
}

bool IsMailboxChange(const Response& response) {
    return response.kind == Response::Kind::Untagged && response.number &&
           (response.keyword == "EXISTS" || response.keyword == "EXPUNGE" ||
            response.keyword == "FETCH" || response.keyword == "RECENT");
}

}  // namespace kestrel::imap
