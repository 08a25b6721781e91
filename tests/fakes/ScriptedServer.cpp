#include "tests/fakes/ScriptedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <strings.h>
#include <chrono>

namespace kestrel::test {
namespace {

constexpr int kTickMs = 5;

}  // namespace

ScriptedServer::~ScriptedServer() {
    Stop();
}

void ScriptedServer::Listen() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return;
    }
    m_listener = fd;
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { AcceptLoop(); });
}

void ScriptedServer::Stop() {
    if (m_stopping.exchange(true)) return;
    if (m_acceptor.joinable()) m_acceptor.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard guard(m_lock);
        workers.swap(m_workers);
    }
    for (auto& worker : workers) worker.join();
    if (m_listener >= 0) ::close(m_listener);
    m_listener = -1;
}

void ScriptedServer::AcceptLoop() {
    while (!m_stopping) {
        pollfd p{m_listener, POLLIN, 0};
        if (::poll(&p, 1, kTickMs) <= 0) continue;
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::lock_guard guard(m_lock);
        const std::size_t index = m_perConnection.size();
        m_perConnection.emplace_back();
        m_workers.emplace_back([this, fd, index] { Serve(fd, index); });
        m_changed.notify_all();
    }
}

bool ScriptedServer::TakeLine(std::string& pending, std::size_t index, std::string& line,
                              const std::function<int(char*, int)>& more) {
    for (;;) {
        const std::size_t end = pending.find('\n');
        if (end != std::string::npos) {
            line = pending.substr(0, end);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            pending.erase(0, end + 1);
            std::lock_guard guard(m_lock);
            m_perConnection[index].push_back(line);
            m_all.push_back(line);
            m_changed.notify_all();
            return true;
        }
        char chunk[4096];
        const int n = more(chunk, static_cast<int>(sizeof chunk));
        if (n <= 0) return false;
        pending.append(chunk, static_cast<std::size_t>(n));
    }
}

void ScriptedServer::ExpectStart(const std::string& line, const std::string& prefix) {
    if (line.size() >= prefix.size() &&
        strncasecmp(line.data(), prefix.data(), prefix.size()) == 0) {
        return;
    }
    CountMismatch();
}

void ScriptedServer::CountMismatch() {
    std::lock_guard guard(m_lock);
    ++m_mismatches;
}

void ScriptedServer::ConnectionEnded() {
    std::lock_guard guard(m_lock);
    ++m_finished;
    m_changed.notify_all();
}

std::vector<std::string> ScriptedServer::Lines() const {
    std::lock_guard guard(m_lock);
    return m_all;
}

std::vector<std::string> ScriptedServer::Lines(std::size_t connection) const {
    std::lock_guard guard(m_lock);
    return connection < m_perConnection.size() ? m_perConnection[connection]
                                               : std::vector<std::string>{};
}

std::size_t ScriptedServer::Connections() const {
    std::lock_guard guard(m_lock);
    return m_perConnection.size();
}

std::size_t ScriptedServer::Mismatches() const {
    std::lock_guard guard(m_lock);
    return m_mismatches;
}

std::size_t ScriptedServer::Finished() const {
    std::lock_guard guard(m_lock);
    return m_finished;
}

bool ScriptedServer::WaitForLines(std::size_t count, int timeoutMs) const {
    std::unique_lock guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_all.size() >= count; });
}

bool ScriptedServer::WaitForFinished(std::size_t count, int timeoutMs) const {
    std::unique_lock guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_finished >= count; });
}

}  // namespace kestrel::test
