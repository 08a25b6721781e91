#pragma once

#include <atomic>
#include <cstddef>
#include <string_view>

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

namespace starttls {

// The most bytes a capability list may take; a longer one is not believed.
constexpr std::size_t kMaxListing = 16 * 1024;

enum class Listing { Incomplete, Refused, Complete };

// How far the reply to the capability command in bytes has come: the first line does not
// start with accepted (Refused), the list has ended with its "." line (Complete), or more is
// to come. Lines end in CRLF or a bare LF.
Listing ScanListing(std::string_view bytes, std::string_view accepted);

// Whether a complete list offers name: a line after the first whose first word is name, in
// any case.
bool Offers(std::string_view listing, std::string_view name);

}  // namespace starttls

// Run the upgrade over a channel still in clear, right after the greeting: every command and
// reply goes to the log as the dialogues log theirs. true once the channel is secured; else
// the channel is closed (its Fault() says why, Stopped() after a stop) and nothing further can
// be sent on it.
bool StartTls(TlsChannel& channel, const StartTlsProtocol& protocol, LogSink& log,
              const std::atomic<int>* stop, const Timing& timing);

}  // namespace kestrel
