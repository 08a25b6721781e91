#include "net/StartTls.h"

#include <string>

#include "net/EventLog.h"
#include "net/TlsChannel.h"
#include "platform/Timing.h"

namespace kestrel {

const StartTlsProtocol kPop3StartTls = {"capa\r\n", "+OK", "STLS", "stls\r\n", "+OK"};
const StartTlsProtocol kNntpStartTls = {"capabilities\r\n", "101", "STARTTLS", "starttls\r\n",
                                        "382"};

namespace {

enum class Read { Done, NoAnswer, Stopped };

// Read until done(bytes) says the reply is whole, within the reply budget.
template <typename Done>
Read ReadReply(TlsChannel& channel, const std::atomic<int>* stop, const Timing& timing,
               std::string& bytes, Done done) {
    bytes.clear();
    char chunk[1024];
    for (int slice = 0; slice < timing.pollSlices; ++slice) {
        if (stop && stop->load() != 0) return Read::Stopped;
        channel.WaitReadable(timing.pollSliceMs);
        const int got = channel.Receive(chunk, static_cast<int>(sizeof chunk));
        if (got > 0) {
            bytes.append(chunk, static_cast<std::size_t>(got));
            if (done(bytes)) return Read::Done;
            if (bytes.size() > starttls::kMaxListing) return Read::NoAnswer;
        }
    }
    return Read::NoAnswer;
}

bool SendLogged(TlsChannel& channel, LogSink& log, const char* command) {
    log.PostLog(command);
    const std::string_view text = command;
    return channel.Send(text.data(), static_cast<int>(text.size())) ==
           static_cast<int>(text.size());
}

bool Ended(TlsChannel& channel, Read read) {
    if (read == Read::Stopped) {
        channel.GiveUp();
        return false;
    }
    channel.Refuse(TlsFault::HandshakeFailed, "no answer");
    return false;
}

}  // namespace

bool StartTls(TlsChannel& channel, const StartTlsProtocol& protocol, LogSink& log,
              const std::atomic<int>* stop, const Timing& timing) {
    std::string bytes;
    if (!SendLogged(channel, log, protocol.capabilityCommand)) {
        channel.Refuse(TlsFault::HandshakeFailed, "send failed");
        return false;
    }
    const Read list = ReadReply(channel, stop, timing, bytes, [&](std::string_view b) {
        return starttls::ScanListing(b, protocol.listAccepted) != starttls::Listing::Incomplete;
    });
    if (list != Read::Done) return Ended(channel, list);
    log.PostLog(bytes);
    if (starttls::ScanListing(bytes, protocol.listAccepted) == starttls::Listing::Refused ||
        !starttls::Offers(bytes, protocol.capabilityName)) {
        channel.Refuse(TlsFault::NotOffered, "not in the capability list");
        return false;
    }

    if (!SendLogged(channel, log, protocol.startCommand)) {
        channel.Refuse(TlsFault::HandshakeFailed, "send failed");
        return false;
    }
    const Read go = ReadReply(channel, stop, timing, bytes, [](std::string_view b) {
        return b.find('\n') != std::string_view::npos;
    });
    if (go != Read::Done) return Ended(channel, go);
    log.PostLog(bytes);
    if (bytes.compare(0, std::string_view(protocol.startAccepted).size(), protocol.startAccepted) !=
        0) {
        channel.Refuse(TlsFault::NotOffered, "upgrade refused");
        return false;
    }
    // Bytes after the go-ahead came in clear, before TLS: nobody honest sends them, and taking
    // them as if they were protected would let a man in the middle speak for the server.
    if (bytes.find('\n') + 1 != bytes.size()) {
        channel.Refuse(TlsFault::HandshakeFailed, "data after the go-ahead");
        return false;
    }
    return channel.Handshake(stop, timing);
}

}  // namespace kestrel
