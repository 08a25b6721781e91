#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestrel::test {

// What the scripted test servers share: a listener on 127.0.0.1 at a port the system picks,
// a thread that accepts and a thread per connection that plays the script, and the record of
// what the clients sent: every line, per connection and in arrival order, the lines that did
// not fit the script, and the connections that have ended.
class ScriptedServer {
public:
    virtual ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    bool Listening() const { return m_listener >= 0; }
    int Port() const { return m_port; }

    // Lines of every connection in arrival order, or of one connection.
    std::vector<std::string> Lines() const;
    std::vector<std::string> Lines(std::size_t connection) const;
    std::size_t Connections() const;
    std::size_t Mismatches() const;
    // Connections whose client has closed (or that the script closed).
    std::size_t Finished() const;
    // Block until count lines have arrived (false on time-out).
    bool WaitForLines(std::size_t count, int timeoutMs) const;
    bool WaitForFinished(std::size_t count, int timeoutMs) const;

    // Close the listener and every connection, and join the threads. A derived server calls
    // it first thing in its destructor: the connection threads use its members.
    void Stop();

protected:
    ScriptedServer() = default;

    // Opens the listener and starts accepting: the last step of a derived constructor, so that
    // no connection is served by a half-made object.
    void Listen();

    // Connection thread: plays the script on fd, the index-th connection, and closes fd.
    virtual void Serve(int fd, std::size_t index) = 0;

    // One line (up to "\n", kept without its line end) out of pending, reading more with
    // more(buffer, size) (> 0: bytes read; otherwise the connection has ended) as long as none
    // is whole; the line is recorded. false when the connection ended first.
    bool TakeLine(std::string& pending, std::size_t index, std::string& line,
                  const std::function<int(char*, int)>& more);
    // A line that should start with prefix (compared without regard to case); one that does
    // not is counted as a mismatch.
    void ExpectStart(const std::string& line, const std::string& prefix);
    void CountMismatch();
    void ConnectionEnded();
    bool Stopping() const { return m_stopping; }

    // Guards the record here and whatever a derived server records beside it.
    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;

private:
    void AcceptLoop();

    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_acceptor;
    std::vector<std::thread> m_workers;
    std::vector<std::vector<std::string>> m_perConnection;
    std::vector<std::string> m_all;
    std::size_t m_mismatches = 0;
    std::size_t m_finished = 0;
};

}  // namespace kestrel::test
