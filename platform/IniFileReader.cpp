#include "platform/IniFileReader.h"

#include <fstream>
#include <iterator>

namespace kestrel {
namespace {

bool isCp932Lead(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// 0x1A is the old end-of-file mark that editors of the time left behind.
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\x1A';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

char foldAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Case folding applies to single-byte letters only: the second byte of a double-byte
// character may fall in the ASCII letter range ("ア" is 83 41, "ャ" is 83 61).
bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (isCp932Lead(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
            ++i;
            continue;
        }
        if (foldAscii(a[i]) != foldAscii(b[i])) return false;
    }
    return true;
}

// Cut to what the buffer holds without leaving the first half of a double-byte character.
std::string fitBuffer(std::string_view s) {
    const std::size_t limit = IniFileReader::kBufferSize - 1;
    if (s.size() <= limit) return std::string(s);
    std::size_t i = 0;
    while (i < limit) {
        std::size_t step = isCp932Lead(static_cast<unsigned char>(s[i])) ? 2 : 1;
        if (i + step > limit) break;
        i += step;
    }
    return std::string(s.substr(0, i));
}

// The last single-byte c of s; a trail byte of a double-byte character never matches.
std::size_t findLastSingle(std::string_view s, char c) {
    std::size_t found = std::string_view::npos;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (isCp932Lead(static_cast<unsigned char>(s[i]))) {
            ++i;
            continue;
        }
        if (s[i] == c) found = i;
    }
    return found;
}

std::string_view unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

}  // namespace

bool IniFileReader::Load(const std::string& path) {
    m_entries.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return false;
    LoadFromBytes(content);
    return true;
}

void IniFileReader::LoadFromBytes(std::string_view content) {
    m_entries.clear();
    std::string section;
    bool inSection = false;
    std::size_t pos = 0;
    while (pos < content.size()) {
        std::size_t end = content.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = content.size();
        std::string_view line = trim(content.substr(pos, end - pos));
        pos = end + 1;
        if (end < content.size() && content[end] == '\r' && pos < content.size() &&
            content[pos] == '\n')
            ++pos;

        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            std::size_t close = findLastSingle(line, ']');
            if (close == std::string_view::npos) continue;
            section = std::string(trim(line.substr(1, close - 1)));
            inSection = true;
            continue;
        }
        if (!inSection) continue;
        std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        std::string_view key = trim(line.substr(0, eq));
        if (key.empty()) continue;
        std::string_view value = unquote(trim(line.substr(eq + 1)));
        // Values are C strings to their readers: nothing after a NUL byte survives.
        if (std::size_t nul = value.find('\0'); nul != std::string_view::npos)
            value = value.substr(0, nul);
        m_entries.push_back({section, std::string(key), fitBuffer(value)});
    }
}

std::string IniFileReader::GetString(std::string_view section, std::string_view key,
                                     std::string_view defaultValue) const {
    for (const Entry& e : m_entries) {
        if (equalNoCase(e.section, section) && equalNoCase(e.key, key)) return e.value;
    }
    return fitBuffer(defaultValue);
}

}  // namespace kestrel
