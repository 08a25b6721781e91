#pragma once

// A scripted IP Messenger peer: a UDP socket that sends whatever datagram the test gives it
// and records every datagram it gets, with the sender and the address it was sent to (so a
// test tells a broadcast from a packet sent to this peer by name). Never blocks: Poll() takes what
// has arrived, so a test can spin the program's event loop on the same thread.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cstring>

#include <string>
#include <vector>

namespace kestrel::test {

class ScriptedChatPeer {
public:
    struct Datagram {
        std::string bytes;  // as received, zero bytes included
        std::string address;
        int port = 0;
        std::string destination;  // the address the sender wrote, e.g. 255.255.255.255
        // The text up to the first zero byte.
        std::string text() const { return bytes.substr(0, bytes.find('\0')); }
    };

    // Bound to port on every local address, or on the one address given.
    explicit ScriptedChatPeer(int port, const std::string& address = {}) {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (m_fd < 0) return;
        const int on = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        ::setsockopt(m_fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_ANY);
        local.sin_port = htons(static_cast<uint16_t>(port));
        if ((!address.empty() && ::inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1) ||
            ::bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~ScriptedChatPeer() {
        if (m_fd >= 0) ::close(m_fd);
    }
    ScriptedChatPeer(const ScriptedChatPeer&) = delete;
    ScriptedChatPeer& operator=(const ScriptedChatPeer&) = delete;

    bool Ok() const { return m_fd >= 0; }

    // Send the bytes as they are (add the zero byte yourself where the protocol wants it).
    bool Send(const std::string& bytes, const std::string& address, int port) const {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        if (::inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1) return false;
        return ::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                        sizeof to) == static_cast<ssize_t>(bytes.size());
    }
    // A text packet with its zero byte.
    bool SendText(const std::string& text, const std::string& address, int port) const {
        return Send(text + std::string(1, '\0'), address, port);
    }

    // Take every datagram that has arrived.
    void Poll() {
        for (;;) {
            char buffer[65536];
            sockaddr_in from{};
            iovec part{buffer, sizeof buffer};
            alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
            msghdr header{};
            header.msg_name = &from;
            header.msg_namelen = sizeof from;
            header.msg_iov = &part;
            header.msg_iovlen = 1;
            header.msg_control = control;
            header.msg_controllen = sizeof control;
            const ssize_t n = ::recvmsg(m_fd, &header, 0);
            if (n < 0) return;
            char address[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, &from.sin_addr, address, sizeof address);
            char destination[INET_ADDRSTRLEN] = {};
            for (cmsghdr* c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c)) {
                if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_PKTINFO) continue;
                in_pktinfo info{};
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                ::inet_ntop(AF_INET, &info.ipi_addr, destination, sizeof destination);
            }
            received.push_back({std::string(buffer, static_cast<size_t>(n)), address,
                                ntohs(from.sin_port), destination});
        }
    }

    // Texts received whose command field (the fifth) equals command.
    std::vector<Datagram> WithCommand(int command) const {
        std::vector<Datagram> found;
        for (const auto& d : received) {
            const std::string t = d.text();
            size_t at = 0;
            for (int i = 0; i < 4 && at != std::string::npos; ++i) {
                at = t.find(':', at);
                if (at != std::string::npos) ++at;
            }
            if (at == std::string::npos) continue;
            if (std::atoi(t.c_str() + at) == command) found.push_back(d);
        }
        return found;
    }

    std::vector<Datagram> received;

private:
    int m_fd = -1;
};

}  // namespace kestrel::test
