#include "net/PeriodicCheck.h"

#include <algorithm>
#include <climits>
#include <system_error>

#include "net/EventLog.h"
#include "net/NetSocket.h"
#include "net/SocketSupport.h"
#include "platform/MessageBoxes.h"
#include "res/Text.h"
#include "res/TextsMail.h"

namespace kestrel {
PeriodicCheck::PeriodicCheck(const WorkerContext& context, std::function<bool()> noticeOpen,
                             Setup setup, const Timing& timing)
    : m_context(context),
      m_noticeOpen(std::move(noticeOpen)),
      m_setup(std::move(setup)),
      m_busy(m_setup.busy),
      m_stop(m_setup.stop),
      m_timing(timing),
      m_timers([this](int id) { OnTimer(id); }) {}

PeriodicCheck::~PeriodicCheck() {
    Shutdown();
}

void PeriodicCheck::Shutdown() {
    m_timers.KillTimer(m_setup.timerId);
    m_stop = 1;
    // A worker waiting for its server (an IDLE waits long) comes to its stop test at once.
    if (m_socket) m_socket->Interrupt();
    WaitUntilClear(m_busy, m_timing.workerStopWaitMs);
    // A check still busy after the budget is in a step that has no stop test (a send, a file
    // write, the mail check's last wait) and ends within one reply budget at most. It is joined
    // rather than left behind: it still posts to the log and the frame through the window's
    // context, and the client must not be released before it is done with it.
    if (m_thread.joinable()) m_thread.join();
    m_socket.reset();
}

LogSink& PeriodicCheck::Sink() const {
    static NullLogSink none;
    return m_context.log ? *m_context.log : none;
}

void PeriodicCheck::Log(std::string_view text) const {
    Sink().PostLog(text);
}

void PeriodicCheck::SetServer(std::string server, int port) {
    m_server = std::move(server);
    m_port = port;
}

bool PeriodicCheck::ArmFirst() {
    const bool armed = m_timers.SetTimer(m_setup.timerId, m_timing.*m_setup.firstCheckMs);
    Log(sjis(armed ? m_setup.texts.timerSet : m_setup.texts.timerFailed));
    return armed;
}

void PeriodicCheck::Disarm() {
    m_timers.KillTimer(m_setup.timerId);
}

void PeriodicCheck::ShowIntervalRefused() const {
    if (m_context.boxes) {
        m_context.boxes->Show(sjis(txt::kTimerZero), sjis(txt::kTimerZeroCaption), BoxIcon::None);
    }
}

bool PeriodicCheck::ArmInterval() {
    // A long interval in minutes does not fit a millisecond timer; it is held at the longest.
    const long long ms = static_cast<long long>(m_interval) * m_timing.minuteMs;
    return m_timers.SetTimer(m_setup.timerId, static_cast<int>(std::min<long long>(ms, INT_MAX)));
}

void PeriodicCheck::OnTimer(int id) {
    if (id != m_setup.timerId) return;
    const PeriodicCheckTexts& texts = m_setup.texts;
    if (m_busy.load() != 0 || (m_noticeOpen && m_noticeOpen())) {
        Log(sjis(texts.skipped));
        m_timers.KillTimer(m_setup.timerId);
        if (!ArmInterval()) Log(sjis(texts.timerFailed));
        return;
    }
    Log(sjis(texts.started));
    m_timers.KillTimer(m_setup.timerId);

    // busy is clear, so the previous check has finished its dialogue and is returning.
    if (m_thread.joinable()) m_thread.join();
    m_socket.reset();

    auto socket = std::make_shared<CNetSocket>(m_server, m_port, nullptr, 0, 0, 256);
    const int error = socket->GetLastError();
    if (error != 0 && !net::IsWouldBlock(error)) {
        Log(FillText(sjis(texts.socketErrorFormat), {std::to_string(error)}));
        if (m_context.boxes) {
            m_context.boxes->Show(
                FillText(sjis(texts.connectFailedFormat), {std::to_string(error)}),
                sjis(texts.connectFailedCaption), BoxIcon::Stop);
        }
        return;
    }
    Log(sjis(texts.connecting));
    socket->EnableInterrupt();
    m_socket = socket;

    if (!ArmInterval()) {
        Log(sjis(texts.timerFailed));
        return;
    }

    // Set here rather than by the worker, so a tick can never find the flag clear while a
    // worker is still starting up.
    m_busy = 1;
    try {
        m_thread = std::thread(&PeriodicCheck::Run, this, m_setup.makeDialogue(), socket);
    } catch (const std::system_error&) {
        m_busy = 0;
        Log(sjis(texts.threadFailed));
    }
}

void PeriodicCheck::Run(Dialogue dialogue, std::shared_ptr<CNetSocket> socket) {
    if (m_stop.load() == 0) dialogue(socket, m_timing);
    // What the dialogue held (the mail check's password among it) goes before the flag clears.
    dialogue = nullptr;
    socket.reset();
    m_busy = 0;
    // Posted after busy clears, so the handler never mistakes this check for a running one;
    // before the thread ends, so a way out that joins it finds m_endings still there.
    QMetaObject::invokeMethod(
        &m_endings, [this] { OnCheckEnded(); }, Qt::QueuedConnection);
}

void PeriodicCheck::OnCheckEnded() {
    // A newer check has started meanwhile: its own ending releases its client; the ended
    // worker was joined when that check started.
    if (m_busy.load() != 0) return;
    if (m_thread.joinable()) m_thread.join();
    m_socket.reset();
}

}  // namespace kestrel
