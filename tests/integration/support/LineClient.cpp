#include "tests/integration/support/LineClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace kestrel::test {

LineClient::~LineClient() {
    if (m_fd >= 0) ::close(m_fd);
}

bool LineClient::connect(int port) {
    if (m_fd >= 0) ::close(m_fd);
    m_buffer.clear();
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

bool LineClient::sendLine(const std::string& text) {
    const std::string line = text + "\r\n";
    size_t sent = 0;
    while (sent < line.size()) {
        const ssize_t n = ::send(m_fd, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

std::optional<std::string> LineClient::readLine(int waitMs) {
    for (;;) {
        const size_t end = m_buffer.find("\r\n");
        if (end != std::string::npos) {
            std::string line = m_buffer.substr(0, end);
            m_buffer.erase(0, end + 2);
            return line;
        }
        pollfd ready{m_fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, waitMs);
        if (polled < 0 && errno == EINTR) continue;
        if (polled <= 0) return std::nullopt;
        char chunk[1024];
        const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        m_buffer.append(chunk, static_cast<size_t>(n));
    }
}

std::string LineClient::command(const std::string& text) {
    if (!sendLine(text)) return {};
    return readLine().value_or(std::string());
}

}  // namespace kestrel::test
