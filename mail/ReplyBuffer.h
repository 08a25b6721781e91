#pragma once

#include <cstddef>
#include <string_view>

namespace kestrel {

// The 1,024-byte area a POP3 reply is gathered in. Reads are appended as zero-terminated
// text (bytes after a zero byte in one read are dropped); at most 1,023 bytes are kept and the
// rest of an over-long line is consumed and dropped, so the next reply starts clean.
class ReplyBuffer {
public:
    static constexpr std::size_t kSize = 1024;
    static constexpr std::size_t kMaxText = kSize - 1;

    void Clear();
    void Append(const char* data, std::size_t length);

    // The reply holds "\r\n" after at least one byte (counting bytes dropped for length).
    bool HasLineEnd() const { return m_lineEnded; }
    std::string_view Text() const { return {m_text, m_length}; }
    const char* CStr() const { return m_text; }

private:
    char m_text[kSize] = {};
    std::size_t m_length = 0;
    std::size_t m_seen = 0;  // bytes taken in, kept or not
    char m_previous = 0;
    bool m_lineEnded = false;
};

}  // namespace kestrel
