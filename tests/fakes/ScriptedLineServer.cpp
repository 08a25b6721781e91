#include "tests/fakes/ScriptedLineServer.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

namespace kestrel::test {
namespace {

constexpr int kTickMs = 5;

}  // namespace

ScriptedLineServer::ScriptedLineServer(Script script)
    : ScriptedLineServer(std::vector<Script>{std::move(script)}) {}

ScriptedLineServer::ScriptedLineServer(std::vector<Script> scripts)
    : m_scripts(std::move(scripts)) {
    if (m_scripts.empty()) m_scripts.emplace_back();
    Listen();
}

ScriptedLineServer::~ScriptedLineServer() {
    Stop();
}

bool ScriptedLineServer::Pause(int ms) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (Stopping()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return !Stopping();
}

// Read until a whole line is in pending or the client closes; false when no line came.
bool ScriptedLineServer::ReadLine(int fd, std::string& pending, std::size_t index,
                                  std::string& line) {
    return TakeLine(pending, index, line, [this, fd](char* buffer, int size) -> int {
        for (;;) {
            if (Stopping()) return -1;
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, kTickMs) <= 0) continue;
            const ssize_t n = ::recv(fd, buffer, static_cast<std::size_t>(size), 0);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            return static_cast<int>(n);
        }
    });
}

void ScriptedLineServer::Drain(int fd, std::string& pending, std::size_t index) {
    std::string line;
    while (ReadLine(fd, pending, index, line)) {
    }
}

void ScriptedLineServer::Serve(int fd, std::size_t index) {
    const Script& script = m_scripts[std::min(index, m_scripts.size() - 1)];
    std::string pending;
    std::string line;
    bool open = true;
    int holdsPassed = 0;
    for (const Step& step : script) {
        if (!open || Stopping()) break;
        switch (step.kind) {
            case Step::Kind::Send:
                if (::send(fd, step.bytes.data(), step.bytes.size(), MSG_NOSIGNAL) < 0)
                    open = false;
                break;
            case Step::Kind::ExpectLine:
                if (!ReadLine(fd, pending, index, line)) {
                    open = false;
                } else {
                    ExpectStart(line, step.bytes);
                }
                break;
            case Step::Kind::Wait:
                if (!Pause(step.ms)) open = false;
                break;
            case Step::Kind::Hold:
                while (m_releases.load() <= holdsPassed && Pause(1)) {
                }
                ++holdsPassed;
                if (Stopping()) open = false;
                break;
            case Step::Kind::Stall:
                Drain(fd, pending, index);
                open = false;
                break;
            case Step::Kind::Close:
                ::shutdown(fd, SHUT_RDWR);
                open = false;
                break;
        }
    }
    if (open) Drain(fd, pending, index);
    ::close(fd);
    ConnectionEnded();
}

}  // namespace kestrel::test
