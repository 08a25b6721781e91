#pragma once

#include <optional>
#include <string>

namespace kestrel::test {

// A blocking CRLF line client for talking to the harness's servers in tests, independent of
// the program's own socket code so a fault there cannot hide behind the harness check.
class LineClient {
public:
    LineClient() = default;
    ~LineClient();
    LineClient(const LineClient&) = delete;
    LineClient& operator=(const LineClient&) = delete;

    // Connects to 127.0.0.1:port.
    bool connect(int port);
    // Sends text followed by CRLF.
    bool sendLine(const std::string& text);
    // The next line without its CRLF; nothing when the peer closed or stayed silent for
    // waitMs (a guard against a hung server, not a timing check).
    std::optional<std::string> readLine(int waitMs = 20000);
    // Sends a command and returns the reply line ("" when none came).
    std::string command(const std::string& text);

private:
    int m_fd = -1;
    std::string m_buffer;
};

}  // namespace kestrel::test
