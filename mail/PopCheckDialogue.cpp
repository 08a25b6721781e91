#include "mail/PopCheckDialogue.h"

#include "mail/Pop3Count.h"
#include "mail/Pop3Reply.h"
#include "mail/ReplyWait.h"
#include "mail/SeenMailStore.h"
#include "mail/UidlListing.h"
#include "net/EventLog.h"
#include "net/LogText.h"
#include "net/SocketChannel.h"
#include "res/Text.h"
#include "res/TextsMail.h"

namespace kestrel {

PopCheckDialogue::PopCheckDialogue(SocketChannel& channel, LogSink& log,
                                   const std::atomic<int>& stop, const Timing& timing)
    : m_channel(channel), m_log(log), m_stop(stop), m_timing(timing) {}

void PopCheckDialogue::UseSeenMail(SeenMailStore* seen, MailAccount account) {
    m_seen = seen;
    m_account = std::move(account);
}

void PopCheckDialogue::Log(std::string_view text) {
    m_log.PostLog(text);
}

PopCheckDialogue::Step PopCheckDialogue::Fail(const std::string& text) {
    Log(text);
    Log(sjis(txt::kPopSocketDelete));
    return Step::Failed;
}

PopCheckDialogue::Step PopCheckDialogue::Refused(const std::string& text) {
    Log(text);
    SendQuit();
    Log(sjis(txt::kPopSocketDelete));
    return Step::Failed;
}

void PopCheckDialogue::SendQuit() {
    Log(txt::kPopQuit);
    const std::string quit = txt::kPopQuit;
    if (m_channel.Send(quit.data(), static_cast<int>(quit.size())) == -1) {
        Log(FillNumbers(sjis(txt::kPopErrorFormat), -1, m_channel.GetLastError()));
    }
}

PopCheckDialogue::Step PopCheckDialogue::Await(bool stopTested, int slices) {
    Timing timing = m_timing;
    if (slices > 0) timing.pollSlices = slices;
    const WaitResult wait =
        WaitForReply(m_channel, m_reply, stopTested ? &m_stop : nullptr, timing);
    switch (wait.outcome) {
        case WaitOutcome::Reply:
            Log(net::LogSafeText(m_reply.Text()));
            return Step::Ok;
        case WaitOutcome::Stopped:
            Log(sjis(txt::kPopSocketDeleteAtProcessing));
            return Step::Stopped;
        case WaitOutcome::Failed:
            break;
    }
    return Fail(FillNumbers(sjis(txt::kPopErrorFormat), wait.lastRead, wait.lastError));
}

// A listing may run to megabytes: the wait gives up only after a whole reply budget in which
// nothing came, however long the listing as a whole takes.
PopCheckDialogue::Step PopCheckDialogue::AwaitListing(pop3::UidlListing& listing) {
    char chunk[16384];
    int lastRead = -1;
    for (int idle = 0; idle < m_timing.pollSlices;) {
        if (m_stop.load() != 0) {
            Log(sjis(txt::kPopSocketDeleteAtProcessing));
            return Step::Stopped;
        }
        m_channel.WaitReadable(m_timing.pollSliceMs);
        lastRead = m_channel.Receive(chunk, static_cast<int>(sizeof chunk));
        if (lastRead > 0) {
            listing.Feed(std::string_view(chunk, static_cast<std::size_t>(lastRead)));
            if (listing.Finished()) return Step::Ok;
            idle = 0;
        } else if (lastRead == 0) {
            break;  // the server has closed
        } else {
            ++idle;
        }
    }
    return Fail(FillNumbers(sjis(txt::kPopErrorFormat), lastRead, m_channel.GetLastError()));
}

std::optional<std::uint32_t> PopCheckDialogue::CountByUidl() {
    if (!m_seen) {
        SendQuit();
        Log(sjis(txt::kPopSocketDelete));
        return std::nullopt;
    }
    if (SendCommand(txt::kPopUidl, txt::kPopUidl) != Step::Ok) return std::nullopt;
    pop3::UidlListing listing;
    if (AwaitListing(listing) != Step::Ok) return std::nullopt;
    Log(listing.StatusLine() + "\r\n");
    if (listing.CurrentState() != pop3::UidlListing::State::Done) {
        Refused(sjis(txt::kPopUidlError));
        return std::nullopt;
    }
    const SeenMailStore::Count count = m_seen->Observe(m_account, listing.TakeUidls());
    if (!count.saved) Log(sjis(txt::kSeenMailFileError));
    return count.unread;
}

PopCheckDialogue::Step PopCheckDialogue::SendCommand(const std::string& command,
                                                     std::string_view logged) {
    Log(logged);
    if (m_channel.Send(command.data(), static_cast<int>(command.size())) == -1) {
        return Fail(FillNumbers(sjis(txt::kPopErrorFormat), -1, m_channel.GetLastError()));
    }
    return Step::Ok;
}

std::optional<std::uint32_t> PopCheckDialogue::Run(std::string_view user,
                                                   std::string_view password) {
    if (Await(true) != Step::Ok) return std::nullopt;
    if (!pop3::IsPositiveReply(m_reply.Text())) {
        Fail(sjis(txt::kPopNotReady));
        return std::nullopt;
    }
    if (m_beforeFirstCommand && !m_beforeFirstCommand()) {
        Log(sjis(txt::kPopSocketDelete));
        return std::nullopt;
    }

    std::string userCommand;
    std::string passCommand;
    if (pop3::BuildCommand(txt::kPopUserFormat, user, userCommand) != pop3::CommandFault::None ||
        pop3::BuildCommand(txt::kPopPassFormat, password, passCommand) !=
            pop3::CommandFault::None) {
        Refused(sjis(txt::kPopCommandRefused));
        return std::nullopt;
    }

    if (SendCommand(userCommand, userCommand) != Step::Ok) return std::nullopt;
    if (Await(true) != Step::Ok) return std::nullopt;
    if (!pop3::IsPositiveReply(m_reply.Text())) {
        Refused(pop3::FormatRejection(sjis(txt::kPopUserRejectedFormat), user, m_reply.Text(),
                                      pop3::kCheckFailureAreaSize));
        return std::nullopt;
    }

    // The event log is a plain file beside the program: the password never goes into it.
    if (SendCommand(passCommand, sjis(txt::kPopPassLogged)) != Step::Ok) return std::nullopt;
    // Long enough for a server's penalty on a wrong password and for its wait on a box that
    // another session holds, so either ends as what it is.
    if (Await(true, m_timing.passReplySlices) != Step::Ok) return std::nullopt;
    if (!pop3::IsPositiveReply(m_reply.Text())) {
        Refused(sjis(pop3::IsTemporaryRefusal(m_reply.Text()) ? txt::kPopServerBusy
                                                              : txt::kPopPasswordInvalid));
        return std::nullopt;
    }

    using Next = pop3::PopCountPlan::Next;
    pop3::PopCountPlan plan;
    Next next = plan.OnPass(m_reply.Text());
    if (next == Next::Stat) {
        if (SendCommand(txt::kPopStat, txt::kPopStat) != Step::Ok) return std::nullopt;
        if (Await(true) != Step::Ok) return std::nullopt;
        next = plan.OnStat(m_reply.Text());
        if (next == Next::Fail) {
            Refused(sjis(txt::kPopStatError));
            return std::nullopt;
        }
    }
    if (next == Next::Last) {
        if (SendCommand(txt::kPopLast, txt::kPopLast) != Step::Ok) return std::nullopt;
        if (Await(false) != Step::Ok) return std::nullopt;
        next = plan.OnLast(m_reply.Text());
    }
    if (next == Next::Uidl) {
        Log(sjis(txt::kPopLastError));
        const auto unread = CountByUidl();
        if (!unread) return std::nullopt;
        plan.OnUidl(*unread);
    }

    SendQuit();
    Log(sjis(txt::kPopSocketDelete));
    return plan.Unread();
}

}  // namespace kestrel
