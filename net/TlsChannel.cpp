#include "net/TlsChannel.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <map>
#include <mutex>
#include <thread>

#include "net/SocketSupport.h"
#include "platform/Timing.h"
#include "res/Cp932.h"
#include "res/Text.h"
#include "res/TextsTls.h"

namespace kestrel {
namespace {

// One TLS record and its framing fit in one read.
constexpr int kReadChunk = 16 * 1024 + 512;

bool IsAddress(const std::string& host) {
    in_addr v4{};
    in6_addr v6{};
    return ::inet_pton(AF_INET, host.c_str(), &v4) == 1 ||
           ::inet_pton(AF_INET6, host.c_str(), &v6) == 1;
}

std::string OpenSslErrors() {
    std::string text;
    while (const unsigned long code = ERR_get_error()) {
        char line[256];
        ERR_error_string_n(code, line, sizeof line);
        if (!text.empty()) text += "; ";
        text += line;
    }
    return text;
}

TlsFault FaultOfVerify(long result) {
    switch (result) {
        case X509_V_ERR_CERT_HAS_EXPIRED:
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return TlsFault::Expired;
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            return TlsFault::WrongHost;
        default:
            return TlsFault::NotTrusted;
    }
}

struct ContextFree {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
using Context = std::unique_ptr<SSL_CTX, ContextFree>;

// The client context with its trust store, made once per CA file (and version of it) and kept:
// loading the system's bundle costs tens of milliseconds, more than the rest of a check. A context
// is safe to share between threads once set up. Null (with OpenSSL's errors queued) when the CA
// file cannot be loaded.
SSL_CTX* SharedContext(const std::string& caFile) {
    static std::mutex lock;
    static std::map<std::string, Context> contexts;
    // A CA file replaced or edited since is loaded afresh.
    std::string key = caFile;
    struct stat st {};
    if (!caFile.empty() && ::stat(cp932ToUtf8(caFile).c_str(), &st) == 0) {
        key += '\n' + std::to_string(st.st_mtim.tv_sec) + '.' + std::to_string(st.st_mtim.tv_nsec) +
               '.' + std::to_string(st.st_size);
    }
    std::lock_guard guard(lock);
    if (auto found = contexts.find(key); found != contexts.end()) return found->second.get();
    Context context(SSL_CTX_new(TLS_client_method()));
    if (!context) return nullptr;
    SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION);
    SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_default_verify_paths(context.get());
    if (!caFile.empty()) {
        const std::string path = cp932ToUtf8(caFile);
        if (SSL_CTX_load_verify_locations(context.get(), path.c_str(), nullptr) != 1) {
            return nullptr;
        }
    }
    return contexts.emplace(key, std::move(context)).first->second.get();
}

}  // namespace

const std::string& TlsFaultText(TlsFault fault) {
    switch (fault) {
        case TlsFault::NotOffered:
            return sjis(txt::kTlsNotOffered);
        case TlsFault::Expired:
            return sjis(txt::kTlsExpired);
        case TlsFault::NotTrusted:
            return sjis(txt::kTlsNotTrusted);
        case TlsFault::WrongHost:
            return sjis(txt::kTlsWrongHost);
        case TlsFault::CaFileUnreadable:
            return sjis(txt::kTlsCaFileUnreadable);
        case TlsFault::None:
        case TlsFault::HandshakeFailed:
            break;
    }
    return sjis(txt::kTlsHandshakeFailed);
}

struct TlsChannel::Session {
    SSL* ssl = nullptr;
    BIO* incoming = nullptr;  // owned by ssl
    BIO* outgoing = nullptr;  // owned by ssl
    Timing timing;

    ~Session() {
        if (ssl) SSL_free(ssl);
    }
};

TlsChannel::TlsChannel(SocketChannel& inner, std::string host, std::string caFile)
    : m_inner(inner), m_host(std::move(host)), m_caFile(std::move(caFile)) {}

TlsChannel::~TlsChannel() = default;

bool TlsChannel::Secured() const {
    return m_state == State::Secured;
}

std::string TlsChannel::Summary() const {
    if (!Secured()) return {};
    return std::string(SSL_get_version(m_session->ssl)) + " " +
           SSL_CIPHER_get_name(SSL_get_current_cipher(m_session->ssl));
}

bool TlsChannel::Fail(TlsFault fault, std::string detail) {
    m_state = State::Closed;
    m_fault = fault;
    m_detail = std::move(detail);
    m_error = ENOTCONN;
    net::Trace(txt::kTraceTlsError, m_host.c_str(), m_detail.c_str());
    return false;
}

void TlsChannel::Refuse(TlsFault fault, std::string detail) {
    Fail(fault, std::move(detail));
}

void TlsChannel::GiveUp() {
    m_stopped = true;
    Fail(TlsFault::HandshakeFailed, "stopped");
}

bool TlsChannel::Handshake(const std::atomic<int>* stop, const Timing& timing) {
    if (m_state != State::Clear) return Fail(TlsFault::HandshakeFailed, "not in clear");
    ERR_clear_error();
    m_session = std::make_unique<Session>();
    Session& s = *m_session;
    s.timing = timing;
    SSL_CTX* context = SharedContext(m_caFile);
    if (!context) {
        return Fail(m_caFile.empty() ? TlsFault::HandshakeFailed : TlsFault::CaFileUnreadable,
                    OpenSslErrors());
    }
    s.ssl = SSL_new(context);
    s.incoming = BIO_new(BIO_s_mem());
    s.outgoing = BIO_new(BIO_s_mem());
    if (!s.ssl || !s.incoming || !s.outgoing) {
        if (s.incoming) BIO_free(s.incoming);
        if (s.outgoing) BIO_free(s.outgoing);
        s.incoming = s.outgoing = nullptr;
        return Fail(TlsFault::HandshakeFailed, OpenSslErrors());
    }
    // An empty buffer means "more to come", not the end of the stream.
    BIO_set_mem_eof_return(s.incoming, -1);
    SSL_set_bio(s.ssl, s.incoming, s.outgoing);
    SSL_set_connect_state(s.ssl);
    if (IsAddress(m_host)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(s.ssl), m_host.c_str());
    } else {
        SSL_set_tlsext_host_name(s.ssl, m_host.c_str());
        SSL_set1_host(s.ssl, m_host.c_str());
    }

    for (int slice = 0; slice < timing.pollSlices; ++slice) {
        if (stop && stop->load() != 0) {
            m_stopped = true;
            return Fail(TlsFault::HandshakeFailed, "stopped");
        }
        ERR_clear_error();
        const int result = SSL_do_handshake(s.ssl);
        // The last flight waits for the first command, so that both go out in one segment:
        // sent apart, the command would sit behind Nagle until the server's delayed ACK.
        if (result != 1 && !Flush(&timing)) return Fail(TlsFault::HandshakeFailed, "send failed");
        if (result == 1) {
            m_state = State::Secured;
            m_drained = false;  // the server may have sent more with its last flight
            net::Trace(txt::kTraceTlsEstablished, m_host.c_str(), SSL_get_version(s.ssl),
                       SSL_CIPHER_get_name(SSL_get_current_cipher(s.ssl)));
            return true;
        }
        const int error = SSL_get_error(s.ssl, result);
        if (error != SSL_ERROR_WANT_READ) {
            const long verify = SSL_get_verify_result(s.ssl);
            if (verify != X509_V_OK) {
                return Fail(FaultOfVerify(verify), X509_verify_cert_error_string(verify));
            }
            std::string detail = OpenSslErrors();
            return Fail(TlsFault::HandshakeFailed, detail.empty() ? "handshake failed" : detail);
        }
        if (m_inner.WaitReadable(timing.pollSliceMs) < 0) {
            return Fail(TlsFault::HandshakeFailed, "connection lost");
        }
        if (Pull() == 0) return Fail(TlsFault::HandshakeFailed, "connection closed by the server");
    }
    return Fail(TlsFault::HandshakeFailed, "no answer");
}

int TlsChannel::Pull() {
    char chunk[kReadChunk];
    const int got = m_inner.Receive(chunk, kReadChunk);
    if (got > 0) BIO_write(m_session->incoming, chunk, got);
    if (got == 0) m_peerClosed = true;
    return got;
}

bool TlsChannel::Flush(const Timing* timing) {
    Session& s = *m_session;
    char chunk[4096];
    for (;;) {
        const int taken = BIO_read(s.outgoing, chunk, sizeof chunk);
        if (taken <= 0) break;
        m_out.append(chunk, static_cast<std::size_t>(taken));
    }
    // A full socket buffer is waited out in slices, within the same budget as a reply.
    const Timing& t = timing ? *timing : s.timing;
    int waits = 0;
    while (!m_out.empty()) {
        const int sent = m_inner.Send(
            m_out.data(), static_cast<int>(std::min<std::size_t>(m_out.size(), INT_MAX)));
        if (sent > 0) {
            m_out.erase(0, static_cast<std::size_t>(sent));
            continue;
        }
        if (!net::IsWouldBlock(m_inner.GetLastError()) || ++waits > t.pollSlices) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::max(1, t.pollSliceMs / 10)));
    }
    return true;
}

int TlsChannel::Send(const char* data, int length) {
    if (m_state == State::Clear) return m_inner.Send(data, length);
    if (m_state == State::Closed || length < 0 || (!data && length > 0)) {
        m_error = m_state == State::Closed ? ENOTCONN : EINVAL;
        return -1;
    }
    if (length == 0) return 0;
    ERR_clear_error();
    if (SSL_write(m_session->ssl, data, length) <= 0 || !Flush(nullptr)) {
        m_error = ECONNRESET;
        return -1;
    }
    return length;
}

int TlsChannel::WaitReadable(int timeoutMs) {
    if (m_state == State::Clear) return m_inner.WaitReadable(timeoutMs);
    if (m_state == State::Closed) return -1;
    // Whatever TLS still holds to send goes before a wait for the answer to it.
    if (!Flush(nullptr)) return -1;
    if (!m_drained || SSL_pending(m_session->ssl) > 0 || m_peerClosed) return 1;
    return m_inner.WaitReadable(timeoutMs);
}

int TlsChannel::Receive(char* buffer, int size) {
    if (m_state == State::Clear) return m_inner.Receive(buffer, size);
    if (m_state == State::Closed || !buffer || size <= 0) {
        m_error = m_state == State::Closed ? ENOTCONN : EINVAL;
        return -1;
    }
    if (!Flush(nullptr)) {
        m_error = ECONNRESET;
        return -1;
    }
    SSL* ssl = m_session->ssl;
    int total = 0;
    bool pulled = false;
    bool closed = false;
    for (;;) {
        ERR_clear_error();
        const int got = SSL_read(ssl, buffer + total, size - total);
        if (got > 0) {
            total += got;
            if (total == size) {
                m_drained = false;
                break;
            }
            continue;
        }
        const int error = SSL_get_error(ssl, got);
        if (error == SSL_ERROR_WANT_READ) {
            // One read from the socket per call, as a plain channel makes.
            if (!pulled && !m_peerClosed) {
                pulled = true;
                if (Pull() > 0) continue;
            }
            m_drained = true;
            closed = m_peerClosed;
            break;
        }
        // close_notify, or a broken or forged record: the connection is over either way.
        closed = true;
        m_drained = true;
        if (error != SSL_ERROR_ZERO_RETURN) m_error = ECONNRESET;
        break;
    }
    Flush(nullptr);
    if (total > 0) return total;
    if (closed) {
        m_peerClosed = true;
        return 0;
    }
    m_error = EWOULDBLOCK;
    return -1;
}

int TlsChannel::GetLastError() {
    if (m_state == State::Clear) return m_inner.GetLastError();
    return m_error;
}

}  // namespace kestrel
