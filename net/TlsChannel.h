#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "net/SocketChannel.h"

namespace kestrel {

struct Timing;

// Why a secure connection could not be made.
enum class TlsFault {
    None,
    NotOffered,        // the server does not offer STLS / STARTTLS, or refused it
    HandshakeFailed,   // no or broken TLS: dropped, timed out, no common protocol, ...
    Expired,           // the server certificate is outside its validity period
    NotTrusted,        // no trusted issuer (self-signed, unknown CA, broken chain)
    WrongHost,         // the certificate names another host
    CaFileUnreadable,  // the configured CA file cannot be loaded
};

// The reason shown to the user (CP932).
const std::string& TlsFaultText(TlsFault fault);

// A channel that passes everything through to the one beneath it until Handshake succeeds,
// and from then on carries it in TLS (OpenSSL over memory buffers, so the socket stays the
// program's own non-blocking one and every wait keeps its slices). After a failed handshake
// or a Refuse the channel is closed for good: nothing more goes out, secured or not.
class TlsChannel final : public SocketChannel {
public:
    // host: the name (or dotted address) the certificate must be for, also sent as SNI.
    // caFile: a CA file trusted besides the system's store (CP932 path); empty for none.
    TlsChannel(SocketChannel& inner, std::string host, std::string caFile);
    ~TlsChannel() override;
    TlsChannel(const TlsChannel&) = delete;
    TlsChannel& operator=(const TlsChannel&) = delete;

    // Run the client handshake with the certificate checks, within timing.pollSlices waits of
    // timing.pollSliceMs (a stop, when given, is looked at once per slice). false: Fault()
    // says why (after a stop, Stopped() is true and Fault() HandshakeFailed).
    bool Handshake(const std::atomic<int>* stop, const Timing& timing);
    // The server will not do TLS: close the channel with this fault.
    void Refuse(TlsFault fault, std::string detail = {});
    // The check was stopped before TLS could start: close the channel as a stopped handshake.
    void GiveUp();

    bool Secured() const;
    bool Stopped() const { return m_stopped; }
    TlsFault Fault() const { return m_fault; }
    // OpenSSL's own words on the fault, for the log.
    const std::string& FaultDetail() const { return m_detail; }
    // "TLSv1.3 TLS_AES_256_GCM_SHA384" once secured.
    std::string Summary() const;

    int Send(const char* data, int length) override;
    int WaitReadable(int timeoutMs) override;
    int Receive(char* buffer, int size) override;
    int GetLastError() override;

private:
    struct Session;
    enum class State { Clear, Secured, Closed };

    bool Fail(TlsFault fault, std::string detail);
    // Move what TLS has written to the socket; false when the socket failed.
    bool Flush(const Timing* timing);
    // One read from the socket into TLS: its count, 0 when the peer has closed, -1 nothing.
    int Pull();

    SocketChannel& m_inner;
    std::string m_host;
    std::string m_caFile;
    State m_state = State::Clear;
    std::unique_ptr<Session> m_session;
    TlsFault m_fault = TlsFault::None;
    std::string m_detail;
    bool m_stopped = false;
    // Everything TLS has received has been handed out: the next read needs the network.
    bool m_drained = true;
    bool m_peerClosed = false;
    int m_error = 0;
    std::string m_out;  // encrypted bytes the socket has not taken yet
};

}  // namespace kestrel
