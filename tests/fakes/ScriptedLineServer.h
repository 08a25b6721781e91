#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestrel::test {

// A TCP server for protocol tests: listens on 127.0.0.1 on a port the system picks, accepts
// in a thread of its own and plays a script on each connection (each in its own thread).
// Every line the client sends is recorded, also after the script has ended and while it
// stalls, until the client closes or the server stops.
class ScriptedLineServer {
public:
    struct Step {
        enum class Kind { Send, ExpectLine, Wait, Hold, Stall, Close };
        Kind kind;
        std::string bytes;  // Send: the bytes; ExpectLine: the start the line should have
        int ms = 0;         // Wait
    };
    using Script = std::vector<Step>;

    static Step send(std::string bytes) { return {Step::Kind::Send, std::move(bytes), 0}; }
    // Read one line (up to "\n", kept without its line end). A line not starting with
    // prefix (compared without regard to case) is counted as a mismatch.
    static Step expectLine(std::string prefix = {}) {
        return {Step::Kind::ExpectLine, std::move(prefix), 0};
    }
    static Step wait(int ms) { return {Step::Kind::Wait, {}, ms}; }
    // Go on only after release() has been called once more than the holds this connection
    // has passed: a server as slow as the test wants it, with no clock in the test.
    static Step hold() { return {Step::Kind::Hold, {}, 0}; }
    // Send nothing more; keep recording until stopped or the client closes.
    static Step stall() { return {Step::Kind::Stall, {}, 0}; }
    static Step close() { return {Step::Kind::Close, {}, 0}; }

    // One script for every connection.
    explicit ScriptedLineServer(Script script);
    // Script i for connection i; the last one for any further connections.
    explicit ScriptedLineServer(std::vector<Script> scripts);
    ~ScriptedLineServer();
    ScriptedLineServer(const ScriptedLineServer&) = delete;
    ScriptedLineServer& operator=(const ScriptedLineServer&) = delete;

    bool listening() const { return m_listener >= 0; }
    int port() const { return m_port; }

    // Lines of every connection in arrival order, or of one connection.
    std::vector<std::string> lines() const;
    std::vector<std::string> lines(std::size_t connection) const;
    std::size_t connections() const;
    std::size_t mismatches() const;
    // Connections whose client has closed (or that the script closed).
    std::size_t finished() const;

    // Block until count lines have arrived (false on time-out).
    bool waitForLines(std::size_t count, int timeoutMs) const;
    bool waitForFinished(std::size_t count, int timeoutMs) const;

    // Let every connection past one more hold step.
    void release() { ++m_releases; }

    // Close the listener and every connection, and join the threads.
    void stop();

private:
    void acceptLoop();
    void serve(int fd, std::size_t index);
    bool readLine(int fd, std::string& pending, std::size_t index, std::string& line);
    void drain(int fd, std::string& pending, std::size_t index);
    bool pause(int ms) const;

    std::vector<Script> m_scripts;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_releases{0};
    std::thread m_acceptor;

    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    std::vector<std::thread> m_workers;
    std::vector<std::vector<std::string>> m_perConnection;
    std::vector<std::string> m_all;
    std::size_t m_mismatches = 0;
    std::size_t m_finished = 0;
};

}  // namespace kestrel::test
