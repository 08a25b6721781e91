#include "tests/fakes/ScriptedLineServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <strings.h>
#include <algorithm>
#include <cerrno>
#include <chrono>

namespace kestrel::test {
namespace {

constexpr int kTickMs = 5;

bool StartsWithNoCase(const std::string& line, const std::string& prefix) {
    return line.size() >= prefix.size() &&
           strncasecmp(line.data(), prefix.data(), prefix.size()) == 0;
}

}  // namespace

ScriptedLineServer::ScriptedLineServer(Script script)
    : ScriptedLineServer(std::vector<Script>{std::move(script)}) {}

ScriptedLineServer::ScriptedLineServer(std::vector<Script> scripts)
    : m_scripts(std::move(scripts)) {
    if (m_scripts.empty()) m_scripts.emplace_back();
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
    m_acceptor = std::thread([this] { acceptLoop(); });
}

ScriptedLineServer::~ScriptedLineServer() {
    stop();
}

void ScriptedLineServer::stop() {
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

void ScriptedLineServer::acceptLoop() {
    while (!m_stopping) {
        pollfd p{m_listener, POLLIN, 0};
        if (::poll(&p, 1, kTickMs) <= 0) continue;
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::lock_guard guard(m_lock);
        const std::size_t index = m_perConnection.size();
        m_perConnection.emplace_back();
        m_workers.emplace_back([this, fd, index] { serve(fd, index); });
        m_changed.notify_all();
    }
}

bool ScriptedLineServer::pause(int ms) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (m_stopping) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return !m_stopping;
}

// Read until a whole line is in pending or the client closes; false when no line came.
bool ScriptedLineServer::readLine(int fd, std::string& pending, std::size_t index,
                                  std::string& line) {
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
        if (m_stopping) return false;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, kTickMs) <= 0) continue;
        char chunk[4096];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            return false;
        }
        pending.append(chunk, static_cast<std::size_t>(n));
    }
}

void ScriptedLineServer::drain(int fd, std::string& pending, std::size_t index) {
    std::string line;
    while (readLine(fd, pending, index, line)) {
    }
}

void ScriptedLineServer::serve(int fd, std::size_t index) {
    const Script& script = m_scripts[std::min(index, m_scripts.size() - 1)];
    std::string pending;
    std::string line;
    bool open = true;
    int holdsPassed = 0;
    for (const Step& step : script) {
        if (!open || m_stopping) break;
        switch (step.kind) {
            case Step::Kind::Send:
                if (::send(fd, step.bytes.data(), step.bytes.size(), MSG_NOSIGNAL) < 0)
                    open = false;
                break;
            case Step::Kind::ExpectLine:
                if (!readLine(fd, pending, index, line)) {
                    open = false;
                } else if (!StartsWithNoCase(line, step.bytes)) {
                    std::lock_guard guard(m_lock);
                    ++m_mismatches;
                }
                break;
            case Step::Kind::Wait:
                if (!pause(step.ms)) open = false;
                break;
            case Step::Kind::Hold:
                while (m_releases.load() <= holdsPassed && pause(1)) {
                }
                ++holdsPassed;
                if (m_stopping) open = false;
                break;
            case Step::Kind::Stall:
                drain(fd, pending, index);
                open = false;
                break;
            case Step::Kind::Close:
                ::shutdown(fd, SHUT_RDWR);
                open = false;
                break;
        }
    }
    if (open) drain(fd, pending, index);
    ::close(fd);
    std::lock_guard guard(m_lock);
    ++m_finished;
    m_changed.notify_all();
}

std::vector<std::string> ScriptedLineServer::lines() const {
    std::lock_guard guard(m_lock);
    return m_all;
}

std::vector<std::string> ScriptedLineServer::lines(std::size_t connection) const {
    std::lock_guard guard(m_lock);
    return connection < m_perConnection.size() ? m_perConnection[connection]
                                               : std::vector<std::string>{};
}

std::size_t ScriptedLineServer::connections() const {
    std::lock_guard guard(m_lock);
    return m_perConnection.size();
}

std::size_t ScriptedLineServer::mismatches() const {
    std::lock_guard guard(m_lock);
    return m_mismatches;
}

std::size_t ScriptedLineServer::finished() const {
    std::lock_guard guard(m_lock);
    return m_finished;
}

bool ScriptedLineServer::waitForLines(std::size_t count, int timeoutMs) const {
    std::unique_lock guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_all.size() >= count; });
}

bool ScriptedLineServer::waitForFinished(std::size_t count, int timeoutMs) const {
    std::unique_lock guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_finished >= count; });
}

}  // namespace kestrel::test
