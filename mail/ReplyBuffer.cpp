#include "mail/ReplyBuffer.h"

#include <cstring>

namespace kestrel {

void ReplyBuffer::Clear() {
    std::memset(m_text, 0, sizeof m_text);
    m_length = 0;
    m_seen = 0;
    m_previous = 0;
    m_lineEnded = false;
}

void ReplyBuffer::Append(const char* data, std::size_t length) {
    for (std::size_t i = 0; i < length && data[i] != '\0'; ++i) {
        const char c = data[i];
        if (m_length < kMaxText) m_text[m_length++] = c;
        if (c == '\n' && m_previous == '\r' && m_seen >= 2) m_lineEnded = true;
        m_previous = c;
        ++m_seen;
    }
}

}  // namespace kestrel
