#include "mail/ImapDialogue.h"

#include <QByteArray>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "net/EventLog.h"
#include "net/LogText.h"
#include "net/SocketChannel.h"
#include "net/SocketSupport.h"
#include "net/StartTls.h"
#include "net/TlsChannel.h"
#include "net/TlsCheck.h"
#include "res/Text.h"
#include "res/TextsMail.h"

namespace kestrel {
namespace {

void Wipe(std::string& secret) {
    std::fill(secret.begin(), secret.end(), '\0');
    secret.clear();
}

}  // namespace

ImapDialogue::ImapDialogue(SocketChannel& channel, LogSink& log, const std::atomic<int>& stop,
                           const Timing& timing)
    : m_channel(channel), m_log(log), m_stop(stop), m_timing(timing) {}

void ImapDialogue::Log(std::string_view text) {
    m_log.PostLog(text);
}

bool ImapDialogue::Offers(std::string_view capability) const {
    return m_capabilities && m_capabilities->count(std::string(capability)) != 0;
}

std::string ImapDialogue::Tagged(std::string_view command) {
    m_tag = "k" + std::to_string(m_nextTag++);
    return m_tag + " " + std::string(command) + "\r\n";
}

bool ImapDialogue::Send(std::string_view command, std::string_view logged) {
    Log(logged);
    if (m_channel.Send(command.data(), static_cast<int>(command.size())) !=
        static_cast<int>(command.size())) {
        m_lastError = m_channel.GetLastError();
        Log(FillNumbers(sjis(txt::kPopErrorFormat), -1, m_lastError));
        return false;
    }
    return true;
}

void ImapDialogue::Note(const imap::Response& r) {
    if (auto names = imap::Capabilities(r)) m_capabilities = std::move(names);
    if (imap::IsMailboxChange(r)) m_changed = true;
}

ImapDialogue::Read ImapDialogue::Receive(imap::Response& out, int& slicesLeft, int sliceMs) {
    char chunk[16384];
    for (;;) {
        if (auto r = m_reader.Next()) {
            out = std::move(*r);
            Log(net::LogSafeText(out.line + "\r\n"));
            Note(out);
            return Read::Got;
        }
        if (m_reader.Broken()) return Read::Broken;
        if (slicesLeft <= 0) return Read::NoAnswer;
        if (m_stop.load() != 0) return Read::Stopped;
        --slicesLeft;
        m_channel.WaitReadable(sliceMs > 0 ? sliceMs : m_timing.pollSliceMs);
        m_lastRead = m_channel.Receive(chunk, static_cast<int>(sizeof chunk));
        if (m_lastRead > 0) {
            m_reader.Feed(std::string_view(chunk, static_cast<std::size_t>(m_lastRead)));
        } else {
            m_lastError = m_channel.GetLastError();
            if (!net::IsWouldBlock(m_lastError) && m_lastError != EINTR) return Read::Closed;
        }
    }
}

ImapDialogue::Read ImapDialogue::Complete(
    imap::Response& done, int slices, const std::function<void(const imap::Response&)>& untagged) {
    int left = slices;
    for (;;) {
        const Read read = Receive(done, left);
        if (read != Read::Got) return read;
        if (done.kind == imap::Response::Kind::Tagged && done.tag == m_tag) {
            m_lastText = done.line;
            return Read::Got;
        }
        if (done.kind == imap::Response::Kind::Untagged && untagged) untagged(done);
    }
}

ImapDialogue::Outcome ImapDialogue::Failure(Read read) {
    // After silence, a close, a broken response or a stop nothing more is sent.
    m_ended = true;
    switch (read) {
        case Read::Stopped:
            Log(sjis(txt::kImapSocketDeleteAtProcessing));
            return Outcome::Stopped;
        case Read::Broken:
            Log(FillText(txt::kImapBrokenFormat, {m_reader.Fault()}));
            break;
        default:
            Log(FillNumbers(sjis(txt::kPopErrorFormat), m_lastRead, m_lastError));
            break;
    }
    return Outcome::Failed;
}

bool ImapDialogue::AskCapabilities() {
    if (!Send(Tagged("CAPABILITY"), m_tag + " CAPABILITY\r\n")) return false;
    imap::Response done;
    const Read read = Complete(done, m_timing.pollSlices);
    if (read != Read::Got) return Failure(read), false;
    return done.keyword == "OK";
}

ImapDialogue::Outcome ImapDialogue::Refuse(const char* why) {
    if (m_tls) m_tls->Refuse(TlsFault::NotOffered, why);
    return Outcome::Insecure;
}

ImapDialogue::Outcome ImapDialogue::StartTls() {
    if (!m_capabilities && !AskCapabilities()) {
        if (m_tls) m_tls->Refuse(TlsFault::HandshakeFailed, "no capability list");
        return Outcome::Insecure;
    }
    if (!Offers("STARTTLS")) return Refuse("not in the capability list");
    if (!Send(Tagged("STARTTLS"), m_tag + " STARTTLS\r\n")) return Refuse("send failed");
    imap::Response done;
    const Read read = Complete(done, m_timing.pollSlices);
    if (read == Read::Stopped) {
        m_tls->GiveUp();
        return Outcome::Insecure;
    }
    if (read != Read::Got) {
        m_tls->Refuse(TlsFault::HandshakeFailed, "no answer");
        return Outcome::Insecure;
    }
    if (done.keyword != "OK") return Refuse("upgrade refused");
    // Bytes after the go-ahead came in clear, before TLS: taking them as protected would let
    // a man in the middle speak for the server.
    if (m_reader.HasMore()) {
        m_tls->Refuse(TlsFault::HandshakeFailed, "data after the go-ahead");
        return Outcome::Insecure;
    }
    if (!SecureChannel(*m_tls, ChannelSecurity::OnConnect, kPop3StartTls, m_log, &m_stop,
                       m_timing)) {
        return Outcome::Insecure;
    }
    // What the server said in clear is forgotten; it is asked again under TLS.
    m_capabilities.reset();
    return Outcome::Ok;
}

ImapDialogue::Outcome ImapDialogue::LogIn(std::string_view user, std::string_view password) {
    imap::Response greeting;
    int left = m_timing.pollSlices;
    const Read read = Receive(greeting, left);
    if (read != Read::Got) return Failure(read);
    const bool preauth = greeting.keyword == "PREAUTH";
    if (greeting.kind != imap::Response::Kind::Untagged || (greeting.keyword != "OK" && !preauth)) {
        Log(sjis(txt::kImapNotReady));
        return Outcome::NotReady;
    }
    if (m_startTls) {
        // An IMAP session that starts logged in cannot be upgraded: it would run in clear.
        if (preauth || !m_tls) return Refuse("PREAUTH: no STARTTLS possible");
        const Outcome secured = StartTls();
        if (secured != Outcome::Ok) return secured;
    }
    if (preauth) return Outcome::Ok;
    if (!m_capabilities && !AskCapabilities()) return Outcome::Failed;
    const bool secured = m_tls && m_tls->Secured();
    if (Offers("LOGINDISABLED") && !secured) {
        Log(sjis(txt::kImapLoginDisabled));
        return Refuse("LOGINDISABLED: no log-in in clear");
    }
    return Authenticate(user, password, !Offers("LOGINDISABLED"));
}

ImapDialogue::Outcome ImapDialogue::Authenticate(std::string_view user, std::string_view password,
                                                 bool loginAllowed) {
    std::string login = "LOGIN ";
    std::string quotedUser;
    std::string quotedPassword;
    const bool quotable =
        imap::AppendQuoted(user, quotedUser) && imap::AppendQuoted(password, quotedPassword);
    imap::Response done;
    Read read = Read::Got;
    if (loginAllowed && quotable) {
        std::string command = Tagged(login + quotedUser + " " + quotedPassword);
        Wipe(quotedPassword);
        const bool sent =
            Send(command, m_tag + " LOGIN " + quotedUser + " " + txt::kImapPasswordMask + "\r\n");
        Wipe(command);
        if (!sent) return Outcome::Failed;
        read = Complete(done, m_timing.passReplySlices);
    } else if (Offers("AUTH=PLAIN") && user.find('\0') == std::string_view::npos &&
               password.find('\0') == std::string_view::npos) {
        // PLAIN carries any bytes, so an account that no quoted string can hold still goes.
        if (!Send(Tagged("AUTHENTICATE PLAIN"), m_tag + " AUTHENTICATE PLAIN\r\n")) {
            return Outcome::Failed;
        }
        int left = m_timing.pollSlices;
        read = Receive(done, left);
        if (read != Read::Got) return Failure(read);
        if (done.kind == imap::Response::Kind::Continuation) {
            QByteArray plain;
            plain.append('\0').append(user.data(), static_cast<qsizetype>(user.size()));
            plain.append('\0').append(password.data(), static_cast<qsizetype>(password.size()));
            QByteArray encoded = plain.toBase64();
            plain.fill('\0');
            std::string line(encoded.constData(), static_cast<std::size_t>(encoded.size()));
            encoded.fill('\0');
            line += "\r\n";
            const bool sent = Send(line, std::string(txt::kImapPasswordMask) + "\r\n");
            Wipe(line);
            if (!sent) return Outcome::Failed;
            read = Complete(done, m_timing.passReplySlices);
        } else if (done.kind != imap::Response::Kind::Tagged || done.tag != m_tag) {
            read = Complete(done, m_timing.passReplySlices);
        }
    } else {
        Log(sjis(txt::kPopCommandRefused));
        LogOut();
        return Outcome::Failed;
    }
    if (read != Read::Got) return Failure(read);
    if (done.keyword == "OK") {
        // A server may name other capabilities once the user is known.
        if (!imap::Capabilities(done)) m_capabilities.reset();
        if (!m_capabilities) AskCapabilities();
        return Outcome::Ok;
    }
    const bool busy = imap::IsTemporaryRefusal(done);
    Log(sjis(busy ? txt::kImapServerBusy : txt::kPopPasswordInvalid));
    LogOut();
    return busy ? Outcome::Busy : Outcome::Rejected;
}

std::optional<std::uint32_t> ImapDialogue::CountUnseen() {
    if (!Send(Tagged("STATUS INBOX (UNSEEN)"), m_tag + " STATUS INBOX (UNSEEN)\r\n")) {
        return std::nullopt;
    }
    std::optional<std::uint32_t> unseen;
    imap::Response done;
    const Read read = Complete(done, m_timing.pollSlices, [&unseen](const imap::Response& r) {
        if (auto n = imap::StatusUnseen(r)) unseen = n;
    });
    if (read != Read::Got) {
        Failure(read);
        return std::nullopt;
    }
    if (done.keyword != "OK" || !unseen) {
        Log(sjis(txt::kImapStatusError));
        return std::nullopt;
    }
    m_changed = false;
    return unseen;
}

void ImapDialogue::LogOut() {
    if (m_ended) return;
    if (!Send(Tagged("LOGOUT"), m_tag + " LOGOUT\r\n")) return;
    // The server's BYE and completion end the session in order; a short wait for them.
    imap::Response done;
    Complete(done, 4);
}

ImapDialogue::IdleEnd ImapDialogue::Idle(const std::function<void(std::uint32_t)>& report,
                                         int renewMs) {
    using Clock = std::chrono::steady_clock;
    const auto ended = [this](Read read) {
        Failure(read);
        if (read == Read::Stopped) return IdleEnd::Stopped;
        return read == Read::Closed ? IdleEnd::Dropped : IdleEnd::Failed;
    };
    // Read-only, so watching the box changes nothing in it.
    if (!Send(Tagged("EXAMINE INBOX"), m_tag + " EXAMINE INBOX\r\n")) return IdleEnd::Dropped;
    imap::Response done;
    Read read = Complete(done, m_timing.pollSlices);
    if (read != Read::Got) return ended(read);
    if (done.keyword != "OK") {
        Log(sjis(txt::kImapIdleError));
        return IdleEnd::Failed;
    }
    m_changed = true;
    for (;;) {
        if (m_changed) {
            const auto unseen = CountUnseen();
            if (!unseen) return m_stop.load() != 0 ? IdleEnd::Stopped : IdleEnd::Failed;
            report(*unseen);
        }
        if (!Send(Tagged("IDLE"), m_tag + " IDLE\r\n")) return IdleEnd::Dropped;
        int left = m_timing.pollSlices;
        read = Receive(done, left);
        while (read == Read::Got && done.kind == imap::Response::Kind::Untagged) {
            read = Receive(done, left);
        }
        if (read != Read::Got) return ended(read);
        if (done.kind != imap::Response::Kind::Continuation) {
            Log(sjis(txt::kImapIdleError));
            return IdleEnd::Refused;
        }
        const auto renewAt = Clock::now() + std::chrono::milliseconds(renewMs);
        bool serverEnded = false;
        for (auto now = Clock::now(); !m_changed && now < renewAt; now = Clock::now()) {
            // One long wait, up to the renewal: the server's word or a stop ends it.
            const auto untilRenew =
                std::chrono::duration_cast<std::chrono::milliseconds>(renewAt - now).count();
            int slice = 1;
            read = Receive(done, slice,
                           static_cast<int>(std::clamp<long long>(
                               untilRenew, 1, std::max(1, m_timing.imapIdleSliceMs))));
            if (read == Read::NoAnswer) continue;
            if (read == Read::Stopped) {
                // Cheap and unanswered: the program is on its way out.
                const std::string doneLine = "DONE\r\n";
                Send(doneLine, doneLine);
                return ended(read);
            }
            if (read != Read::Got) {
                Log(sjis(txt::kImapIdleEnded));
                return ended(read) == IdleEnd::Stopped ? IdleEnd::Stopped : IdleEnd::Dropped;
            }
            if (done.keyword == "BYE") {
                Log(sjis(txt::kImapIdleEnded));
                return IdleEnd::Dropped;
            }
            if (done.kind == imap::Response::Kind::Tagged) {
                serverEnded = true;  // the server ended the IDLE itself
                if (done.keyword != "OK") return IdleEnd::Failed;
                break;
            }
        }
        if (serverEnded) continue;
        const std::string doneLine = "DONE\r\n";
        if (!Send(doneLine, doneLine)) return IdleEnd::Dropped;
        read = Complete(done, m_timing.pollSlices);
        if (read != Read::Got) return ended(read);
        if (done.keyword != "OK") return IdleEnd::Failed;
    }
}

}  // namespace kestrel
