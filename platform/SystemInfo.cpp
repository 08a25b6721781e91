#include "platform/SystemInfo.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace kestrel {

std::optional<std::string> ComputerName() {
    char buf[256] = {};
    if (gethostname(buf, sizeof buf - 1) != 0 || buf[0] == '\0') return std::nullopt;
    return std::string(buf);
}

std::optional<std::string> LogonName() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd pw{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &result) != 0 || !result ||
        !result->pw_name || !*result->pw_name)
        return std::nullopt;
    return std::string(result->pw_name);
}

std::optional<std::string> ResolveFirstIPv4(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || !list)
        return std::nullopt;
    char text[INET_ADDRSTRLEN] = {};
    auto* sin = reinterpret_cast<sockaddr_in*>(list->ai_addr);
    const bool ok = inet_ntop(AF_INET, &sin->sin_addr, text, sizeof text) != nullptr;
    freeaddrinfo(list);
    if (!ok) return std::nullopt;
    return std::string(text);
}

}  // namespace kestrel
