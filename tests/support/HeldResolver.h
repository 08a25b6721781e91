#pragma once

// A name server for the host-name look-ups of a test that holds every query until told to
// answer, then answers the name with 127.0.0.1. The calling thread (and every thread it
// starts afterwards) moves into a mount namespace of its own in which /etc/resolv.conf names
// only 127.0.0.1, where this object listens; a query still held when the resolver's time-out
// (one second here) is up fails the look-up. Make it inside a PrivateNetwork, whose
// 127.0.0.1:53 is the test's alone. Needs root; Ok() is false otherwise, and the test fails.
//
// The thread stays in its own mount namespace afterwards (a process with threads cannot go
// back), where /etc/resolv.conf is the machine's again once this object is gone.

#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <netinet/in.h>

#include <arpa/inet.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace kestrel::test {

class HeldResolver {
public:
    // onQuery runs on the server's own thread for each query that comes.
    explicit HeldResolver(std::function<void()> onQuery) : m_onQuery(std::move(onQuery)) {
        if (::geteuid() != 0) return;
        char path[] = "/tmp/kestrel-resolv-XXXXXX";
        const int fd = ::mkstemp(path);
        if (fd < 0) return;
        m_file = path;
        const std::string conf = "nameserver 127.0.0.1\noptions timeout:1 attempts:1\n";
        const bool written =
            ::write(fd, conf.data(), conf.size()) == static_cast<ssize_t>(conf.size());
        ::close(fd);
        if (!written || ::unshare(CLONE_NEWNS) != 0) return;
        // Nothing mounted here reaches the machine's own namespace.
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return;
        if (::mount(m_file.c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0) return;
        m_mounted = true;

        m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(53);
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (m_socket < 0 || ::bind(m_socket, reinterpret_cast<const sockaddr*>(&at), sizeof at))
            return;
        m_thread = std::thread([this] { Serve(); });
        m_ok = true;
    }

    ~HeldResolver() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        if (m_socket >= 0) ::close(m_socket);
        if (m_mounted) ::umount2("/etc/resolv.conf", MNT_DETACH);
        if (!m_file.empty()) ::unlink(m_file.c_str());
    }

    HeldResolver(const HeldResolver&) = delete;
    HeldResolver& operator=(const HeldResolver&) = delete;

    bool Ok() const { return m_ok; }
    int Queries() const { return m_queries; }
    int Answers() const { return m_answers; }
    // From any thread: the queries held now are answered; later ones are held again.
    void Release() { m_released = true; }

private:
    struct Query {
        std::string packet;
        sockaddr_in from;
    };

    void Serve() {
        std::vector<Query> held;
        char packet[1500];
        while (!m_stop) {
            if (m_released.exchange(false)) {
                for (const Query& query : held) Answer(query);
                held.clear();
            }
            pollfd p{m_socket, POLLIN, 0};
            if (::poll(&p, 1, 5) <= 0) continue;
            Query query{};
            socklen_t length = sizeof query.from;
            const ssize_t got = ::recvfrom(m_socket, packet, sizeof packet, 0,
                                           reinterpret_cast<sockaddr*>(&query.from), &length);
            if (got < 12) continue;
            query.packet.assign(packet, static_cast<std::size_t>(got));
            held.push_back(std::move(query));
            ++m_queries;
            if (m_onQuery) m_onQuery();
        }
    }

    // One question in, its answer out: an A question gets 127.0.0.1, any other none.
    void Answer(const Query& query) {
        std::string reply = query.packet;
        std::size_t end = 12;  // the question's name, its type and class
        while (end < reply.size() && reply[end] != 0)
            end += 1 + static_cast<unsigned char>(reply[end]);
        end += 5;
        if (end > reply.size()) return;
        reply.resize(end);
        const bool isA = reply[end - 4] == 0 && reply[end - 3] == 1;
        reply[2] = static_cast<char>(0x81);  // a response, recursion desired and available
        reply[3] = static_cast<char>(0x80);
        reply[6] = 0;
        reply[7] = isA ? 1 : 0;
        reply[8] = reply[9] = reply[10] = reply[11] = 0;
        if (isA) {
            // The name by a pointer to the question's, A, IN, 60 s, 4 bytes: 127.0.0.1.
            reply +=
                std::string("\xc0\x0c\x00\x01\x00\x01\x00\x00\x00\x3c\x00\x04\x7f\x00\x00\x01", 16);
        }
        ::sendto(m_socket, reply.data(), reply.size(), 0,
                 reinterpret_cast<const sockaddr*>(&query.from), sizeof query.from);
        ++m_answers;
    }

    std::function<void()> m_onQuery;
    std::string m_file;
    bool m_mounted = false;
    bool m_ok = false;
    int m_socket = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_released{false};
    std::atomic<int> m_queries{0};
    std::atomic<int> m_answers{0};
    std::thread m_thread;
};

}  // namespace kestrel::test
