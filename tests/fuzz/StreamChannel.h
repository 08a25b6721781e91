#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "net/SocketChannel.h"

namespace kestrel {

// A server's byte stream given in pieces whose sizes come from a few bytes of the input,
// for the harnesses of the reply readers. Sends are taken whole; when the stream is spent,
// nothing more is readable.
class StreamChannel final : public SocketChannel {
public:
    StreamChannel(std::string_view sizes, std::string_view stream)
        : m_sizes(sizes), m_stream(stream) {}
    int Send(const char*, int length) override { return length; }
    int WaitReadable(int) override { return m_stream.empty() ? 0 : 1; }
    int Receive(char* buffer, int size) override {
        if (m_stream.empty()) return -1;
        std::size_t n = 1;
        if (!m_sizes.empty()) {
            n = 1 + static_cast<unsigned char>(m_sizes.front()) * 8;
            m_sizes.remove_prefix(1);
        }
        n = std::min({n, m_stream.size(), static_cast<std::size_t>(size)});
        std::memcpy(buffer, m_stream.data(), n);
        m_stream.remove_prefix(n);
        return static_cast<int>(n);
    }
    int GetLastError() override { return 0; }

private:
    std::string_view m_sizes;
    std::string_view m_stream;
};

}  // namespace kestrel
