#include "mail/PopCheckDialogue.h"

#include "mail/Pop3Reply.h"
#include "mail/ReplyWait.h"
#include "net/EventLog.h"
#include "net/LogText.h"
#include "net/SocketChannel.h"
#include "res/Text.h"
#include "res/TextsMail.h"

namespace kestrel {

PopCheckDialogue::PopCheckDialogue(SocketChannel& channel, LogSink& log,
                                   const std::atomic<int>& stop, const Timing& timing)
    : m_channel(channel), m_log(log), m_stop(stop), m_timing(timing) {}

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

PopCheckDialogue::Step PopCheckDialogue::Await(bool stopTested) {
    const WaitResult wait =
        WaitForReply(m_channel, m_reply, stopTested ? &m_stop : nullptr, m_timing);
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
    if (Await(true) != Step::Ok) return std::nullopt;
    if (!pop3::IsPositiveReply(m_reply.Text())) {
        Refused(sjis(txt::kPopPasswordInvalid));
        return std::nullopt;
    }
    const std::uint32_t total = pop3::ParseMessageTotal(m_reply.Text());

    std::uint32_t last = 0;
    if (total != 0) {
        if (SendCommand(txt::kPopLast, txt::kPopLast) != Step::Ok) return std::nullopt;
        if (Await(false) != Step::Ok) return std::nullopt;
        if (!pop3::IsPositiveReply(m_reply.Text())) {
            Refused(sjis(txt::kPopLastError));
            return std::nullopt;
        }
        last = pop3::ParseLastNumber(m_reply.Text());
    }

    SendQuit();
    Log(sjis(txt::kPopSocketDelete));

    if (last > total) return std::nullopt;
    return total - last;
}

}  // namespace kestrel
