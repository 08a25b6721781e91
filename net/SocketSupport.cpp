#include "net/SocketSupport.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include "net/LogText.h"
#include "net/TraceLog.h"

namespace kestrel::net {

namespace {

thread_local int t_socketError = 0;

std::string VFormat(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char small[512];
    const int needed = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (needed < 0) return {};
    if (static_cast<std::size_t>(needed) < sizeof small) return std::string(small, needed);
    std::string text(static_cast<std::size_t>(needed) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<std::size_t>(needed));
    return text;
}

}  // namespace

int ThreadSocketError() {
    return t_socketError;
}

void SetThreadSocketError(int error) {
    t_socketError = error;
}

bool IsWouldBlock(int error) {
    return error == EINPROGRESS || error == EWOULDBLOCK || error == EAGAIN;
}

unsigned SocketId(const void* object) {
    return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(object) & 0xFFFFFFFFu);
}

std::string DataText(const char* data, int length) {
    if (!data || length <= 0) return {};
    const auto* end = static_cast<const char*>(std::memchr(data, '\0', length));
    return LogSafeText(std::string_view(data, end ? end - data : length));
}

PeerAddress FromSockaddr(const sockaddr_in& addr) {
    char text[INET_ADDRSTRLEN] = {};
    if (!::inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text)) return {};
    return {text, ntohs(addr.sin_port)};
}

PeerAddress PeerOf(int fd) {
    if (fd < 0) return {};
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
        addr.sin_family != AF_INET)
        return {};
    return FromSockaddr(addr);
}

int LocalPortOf(int fd) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
    return ntohs(addr.sin_port);
}

int ResolveHost(const std::string& host, int port, sockaddr_in& out) {
    out = {};
    out.sin_family = AF_INET;
    if (port < 0 || port > 65535) return EINVAL;
    out.sin_port = htons(static_cast<std::uint16_t>(port));
    // inet_aton takes the same shorthand forms as the old inet_addr ("127.1").
    if (!host.empty() && ::inet_aton(host.c_str(), &out.sin_addr) != 0) return 0;
    if (host.empty()) return EINVAL;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return EINVAL;
    out.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return 0;
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = VFormat(format, args);
    va_end(args);
    return text;
}

void Trace(const char* format, ...) {
    if (!TraceEnabled()) return;
    va_list args;
    va_start(args, format);
    const std::string text = VFormat(format, args);
    va_end(args);
    WriteTrace(text);
}

int ReadWithTopUp(char* buffer, int readSize, const std::function<int(char*, int)>& read) {
    const int limit = std::clamp(readSize, 0, kEventDataSize);
    if (limit == 0) return -1;
    const int first = read(buffer, limit);
    if (first <= 0) return first;
    int total = std::min(first, limit);
    if (total < limit) {
        const int more = read(buffer + total, limit - total);
        if (more > 0) total += std::min(more, limit - total);
    }
    return total;
}

}  // namespace kestrel::net
