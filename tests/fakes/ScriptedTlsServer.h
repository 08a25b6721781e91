#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tests/fakes/ScriptedServer.h"

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;

namespace kestrel::test {

// A line server for the TLS tests: plays its script on each connection, first in clear; a startTls
// step makes it the TLS server there (with the certificate it was given), so a script that starts
// with it is a server on its own TLS port and one that greets first is an STLS / STARTTLS server.
// Every line the client sends is recorded, decrypted or in clear; every byte that came outside TLS
// is kept as the wire, so a test can tell that no password went out in clear.
class ScriptedTlsServer final : public ScriptedServer {
public:
    struct Step {
        enum class Kind { Send, ExpectLine, StartTls, DropInHandshake, Close };
        Kind kind;
        std::string bytes;
    };
    using Script = std::vector<Step>;

    static Step Send(std::string bytes) { return {Step::Kind::Send, std::move(bytes)}; }
    static Step ExpectLine(std::string prefix = {}) {
        return {Step::Kind::ExpectLine, std::move(prefix)};
    }
    static Step StartTls() { return {Step::Kind::StartTls, {}}; }
    // Take the client's first handshake bytes, then close without a word.
    static Step DropInHandshake() { return {Step::Kind::DropInHandshake, {}}; }
    static Step Close() { return {Step::Kind::Close, {}}; }

    ScriptedTlsServer(Script script, const std::string& certFile, const std::string& keyFile);
    ~ScriptedTlsServer() override;

    // Every byte received outside TLS, over all connections.
    std::string Wire() const;
    std::size_t Handshakes() const;  // completed on the server's side
    std::string ServerName() const;  // the SNI of the latest completed handshake

private:
    struct Connection;

    void Serve(int fd, std::size_t index) override;
    bool ReadLine(Connection& c, std::string& line);
    int ReadSome(Connection& c, char* buffer, int size);
    bool WriteAll(Connection& c, const std::string& bytes);
    bool Accept(Connection& c);

    Script m_script;
    SSL_CTX* m_context = nullptr;
    std::string m_wire;
    std::size_t m_handshakes = 0;
    std::string m_serverName;
};

}  // namespace kestrel::test
