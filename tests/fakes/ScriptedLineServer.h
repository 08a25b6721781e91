#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

#include "tests/fakes/ScriptedServer.h"

namespace kestrel::test {

// A TCP server for protocol tests: plays a script on each connection. Every line the client
// sends is recorded, also after the script has ended and while it stalls, until the client
// closes or the server stops.
class ScriptedLineServer final : public ScriptedServer {
public:
    struct Step {
        enum class Kind { Send, ExpectLine, Wait, Hold, Stall, Close };
        Kind kind;
        std::string bytes;  // Send: the bytes; ExpectLine: the start the line should have
        int ms = 0;         // Wait
    };
    using Script = std::vector<Step>;

    static Step Send(std::string bytes) { return {Step::Kind::Send, std::move(bytes), 0}; }
    // Read one line (up to "\n", kept without its line end). A line not starting with
    // prefix (compared without regard to case) is counted as a mismatch.
    static Step ExpectLine(std::string prefix = {}) {
        return {Step::Kind::ExpectLine, std::move(prefix), 0};
    }
    static Step Wait(int ms) { return {Step::Kind::Wait, {}, ms}; }
    // Go on only after Release() has been called once more than the holds this connection
    // has passed: a server as slow as the test wants it, with no clock in the test.
    static Step Hold() { return {Step::Kind::Hold, {}, 0}; }
    // Send nothing more; keep recording until stopped or the client closes.
    static Step Stall() { return {Step::Kind::Stall, {}, 0}; }
    static Step Close() { return {Step::Kind::Close, {}, 0}; }

    // One script for every connection.
    explicit ScriptedLineServer(Script script);
    // Script i for connection i; the last one for any further connections.
    explicit ScriptedLineServer(std::vector<Script> scripts);
    ~ScriptedLineServer() override;

    // Let every connection past one more hold step.
    void Release() { ++m_releases; }

private:
    void Serve(int fd, std::size_t index) override;
    bool ReadLine(int fd, std::string& pending, std::size_t index, std::string& line);
    void Drain(int fd, std::string& pending, std::size_t index);
    bool Pause(int ms) const;

    std::vector<Script> m_scripts;
    std::atomic<int> m_releases{0};
};

}  // namespace kestrel::test
