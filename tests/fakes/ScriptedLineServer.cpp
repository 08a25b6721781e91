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
    listen();
}

ScriptedLineServer::~ScriptedLineServer() {
    stop();
}

bool ScriptedLineServer::pause(int ms) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (stopping()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return !stopping();
}

// Read until a whole line is in pending or the client closes; false when no line came.
bool ScriptedLineServer::readLine(int fd, std::string& pending, std::size_t index,
                                  std::string& line) {
    return takeLine(pending, index, line, [this, fd](char* buffer, int size) -> int {
        for (;;) {
            if (stopping()) return -1;
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, kTickMs) <= 0) continue;
            const ssize_t n = ::recv(fd, buffer, static_cast<std::size_t>(size), 0);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            return static_cast<int>(n);
        }
    });
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
        if (!open || stopping()) break;
        switch (step.kind) {
            case Step::Kind::Send:
                if (::send(fd, step.bytes.data(), step.bytes.size(), MSG_NOSIGNAL) < 0)
                    open = false;
                break;
            case Step::Kind::ExpectLine:
                if (!readLine(fd, pending, index, line)) {
                    open = false;
                } else {
                    expectStart(line, step.bytes);
                }
                break;
            case Step::Kind::Wait:
                if (!pause(step.ms)) open = false;
                break;
            case Step::Kind::Hold:
                while (m_releases.load() <= holdsPassed && pause(1)) {
                }
                ++holdsPassed;
                if (stopping()) open = false;
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
    connectionEnded();
}

}  // namespace kestrel::test
