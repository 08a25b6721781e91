#pragma once

#include <atomic>

#include "net/CapabilityList.h"

namespace kestrel {

class LogSink;
class TlsChannel;
struct Timing;

// The words of one protocol's upgrade to TLS after its greeting: ask for the capability list,
// look for the upgrade in it, ask for the upgrade, take the go-ahead.
struct StartTlsProtocol {
    const char* capabilityCommand;  // "capa\r\n"
    const char* listAccepted;       // the start of the reply that brings the list ("+OK")
    const char* capabilityName;     // the list line that offers the upgrade ("STLS")
    const char* startCommand;       // "stls\r\n"
    const char* startAccepted;      // the start of the go-ahead ("+OK")
};

// POP3 (RFC 2595) and NNTP (RFC 4642).
extern const StartTlsProtocol kPop3StartTls;
extern const StartTlsProtocol kNntpStartTls;

// Run the upgrade over a channel still in clear, right after the greeting: every command and
// reply goes to the log as the dialogues log theirs. true once the channel is secured; else
// the channel is closed (its Fault() says why, Stopped() after a stop) and nothing further can
// be sent on it.
bool StartTls(TlsChannel& channel, const StartTlsProtocol& protocol, LogSink& log,
              const std::atomic<int>* stop, const Timing& timing);

}  // namespace kestrel
