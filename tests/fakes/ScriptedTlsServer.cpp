#include "tests/fakes/ScriptedTlsServer.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace kestrel::test {
namespace {

constexpr int kTickMs = 5;
constexpr int kHandshakeMs = 10000;

}  // namespace

struct ScriptedTlsServer::Connection {
    int fd = -1;
    std::size_t index = 0;
    SSL* ssl = nullptr;
    std::string pending;
};

ScriptedTlsServer::ScriptedTlsServer(Script script, const std::string& certFile,
                                     const std::string& keyFile)
    : m_script(std::move(script)) {
    m_context = SSL_CTX_new(TLS_server_method());
    if (!m_context || SSL_CTX_use_certificate_chain_file(m_context, certFile.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(m_context, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        return;
    }
    Listen();
}

ScriptedTlsServer::~ScriptedTlsServer() {
    Stop();
    if (m_context) SSL_CTX_free(m_context);
}

// Some bytes from the client: 0 when it has closed, -1 when the server stops.
int ScriptedTlsServer::ReadSome(Connection& c, char* buffer, int size) {
    for (;;) {
        if (Stopping()) return -1;
        if (!c.ssl || SSL_pending(c.ssl) == 0) {
            pollfd p{c.fd, POLLIN, 0};
            if (::poll(&p, 1, kTickMs) <= 0) continue;
        }
        if (c.ssl) {
            const int n = SSL_read(c.ssl, buffer, size);
            if (n > 0) return n;
            const int error = SSL_get_error(c.ssl, n);
            if (error == SSL_ERROR_WANT_READ) continue;
            return 0;
        }
        const ssize_t n = ::recv(c.fd, buffer, static_cast<std::size_t>(size), 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return 0;
        std::lock_guard guard(m_lock);
        m_wire.append(buffer, static_cast<std::size_t>(n));
        return static_cast<int>(n);
    }
}

bool ScriptedTlsServer::ReadLine(Connection& c, std::string& line) {
    return TakeLine(c.pending, c.index, line,
                    [this, &c](char* buffer, int size) { return ReadSome(c, buffer, size); });
}

bool ScriptedTlsServer::WriteAll(Connection& c, const std::string& bytes) {
    if (c.ssl) {
        return SSL_write(c.ssl, bytes.data(), static_cast<int>(bytes.size())) ==
               static_cast<int>(bytes.size());
    }
    return ::send(c.fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
}

bool ScriptedTlsServer::Accept(Connection& c) {
    c.ssl = SSL_new(m_context);
    SSL_set_fd(c.ssl, c.fd);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHandshakeMs);
    while (!Stopping() && std::chrono::steady_clock::now() < end) {
        ERR_clear_error();
        const int result = SSL_accept(c.ssl);
        if (result == 1) {
            std::lock_guard guard(m_lock);
            ++m_handshakes;
            const char* name = SSL_get_servername(c.ssl, TLSEXT_NAMETYPE_host_name);
            m_serverName = name ? name : "";
            return true;
        }
        const int error = SSL_get_error(c.ssl, result);
        if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) break;
        pollfd p{c.fd, static_cast<short>(error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT), 0};
        ::poll(&p, 1, kTickMs);
    }
    // Whatever the client says after a failed handshake is taken in clear, as the wire.
    SSL_free(c.ssl);
    c.ssl = nullptr;
    return false;
}

void ScriptedTlsServer::Serve(int fd, std::size_t index) {
    // OpenSSL writes to the socket without MSG_NOSIGNAL: a client that has gone must be an
    // error here, not the end of the test program. Only this thread's signal is blocked.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    Connection c;
    c.fd = fd;
    c.index = index;
    // Non-blocking, so a TLS read or handshake never holds the thread past a stop.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    std::string line;
    bool open = true;
    for (const Step& step : m_script) {
        if (!open || Stopping()) break;
        switch (step.kind) {
            case Step::Kind::Send:
                open = WriteAll(c, step.bytes);
                break;
            case Step::Kind::ExpectLine:
                if (!ReadLine(c, line)) {
                    open = false;
                } else {
                    ExpectStart(line, step.bytes);
                }
                break;
            case Step::Kind::StartTls:
                if (!Accept(c)) CountMismatch();
                break;
            case Step::Kind::DropInHandshake: {
                char chunk[4096];
                ReadSome(c, chunk, sizeof chunk);
                open = false;
                break;
            }
            case Step::Kind::Close:
                open = false;
                break;
        }
    }
    if (open) {
        while (ReadLine(c, line)) {
        }
    }
    if (c.ssl) {
        SSL_shutdown(c.ssl);
        SSL_free(c.ssl);
    }
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
    ConnectionEnded();
}

std::string ScriptedTlsServer::Wire() const {
    std::lock_guard guard(m_lock);
    return m_wire;
}

std::size_t ScriptedTlsServer::Handshakes() const {
    std::lock_guard guard(m_lock);
    return m_handshakes;
}

std::string ScriptedTlsServer::ServerName() const {
    std::lock_guard guard(m_lock);
    return m_serverName;
}

}  // namespace kestrel::test
