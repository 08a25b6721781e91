#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "net/WorkerContext.h"
#include "platform/Timing.h"
#include "platform/WindowTimers.h"

namespace kestrel {

class CNetSocket;
class LogSink;

// The fixed texts a periodic check writes, UTF-8 as in res/Texts*.h.
struct PeriodicCheckTexts {
    const char* skipped;              // a turn skipped: a check still runs or a notice is open
    const char* started;              // a check starts
    const char* timerSet;             // the timer is armed
    const char* timerFailed;          // the timer could not be armed
    const char* socketErrorFormat;    // the client could not be made; %d the error
    const char* connectFailedFormat;  // the same in a box; %d the error
    const char* connectFailedCaption;
    const char* connecting;    // the client is on its way
    const char* threadFailed;  // no thread for the check; its client is dropped
};

// The part the mail and news check windows share: the interval timer, the turn that is
// skipped while a check still runs or a notice is open, the client and the worker thread
// of each check, and the way out (stop request, bounded wait, join, client released after
// the join). The window keeps its own dialogue and the record it shares with it.
//
// A check's client is released, and its connection closed, as soon as its worker has ended,
// on this thread: a failed check does not hold its server's connection open until the next
// turn.
//
// busy and stop live in that record, because the dialogue reads them too: busy is set here
// when a check starts and cleared here when its thread is done; stop is set on the way out.
class PeriodicCheck {
public:
    // One check's work on the worker thread, over the connection the check made.
    using Dialogue =
        std::function<void(const std::shared_ptr<CNetSocket>& socket, const Timing& timing)>;

    struct Setup {
        int timerId;
        int Timing::*firstCheckMs;  // delay of the first check after a start or a new interval
        PeriodicCheckTexts texts;
        std::atomic<int>& busy;
        std::atomic<int>& stop;
        // Called on the user-interface thread as each check starts; what it returns runs on
        // the worker thread.
        std::function<Dialogue()> makeDialogue;
    };

    PeriodicCheck(const WorkerContext& context, std::function<bool()> noticeOpen, Setup setup,
                  const Timing& timing);
    ~PeriodicCheck();
    PeriodicCheck(const PeriodicCheck&) = delete;
    PeriodicCheck& operator=(const PeriodicCheck&) = delete;

    void SetServer(std::string server, int port);
    const std::string& Server() const { return m_server; }
    void SetInterval(unsigned minutes) { m_interval = minutes; }
    // Arm the first check after the first-check delay; the outcome goes to the log.
    bool ArmFirst();
    void Disarm();
    // The box that says an interval was refused.
    void ShowIntervalRefused() const;

    void OnTimer(int id);
    // Stop any check and wait for it: the window calls this first on its way out, while
    // the record its dialogue uses still exists. Later calls do nothing.
    void Shutdown();

    bool Busy() const { return m_busy.load() != 0; }
    const Timing& CheckTiming() const { return m_timing; }
    LogSink& Sink() const;
    void Log(std::string_view text) const;

private:
    bool ArmInterval();
    void Run(Dialogue dialogue, std::shared_ptr<CNetSocket> socket);
    // The worker has ended: join it and release its client, unless a newer check runs.
    void OnCheckEnded();

    WorkerContext m_context;
    std::function<bool()> m_noticeOpen;
    Setup m_setup;
    std::atomic<int>& m_busy;
    std::atomic<int>& m_stop;
    const Timing m_timing;
    std::string m_server;
    int m_port = 0;
    unsigned m_interval = 0;
    // The client of the latest check; kept until the next check or the way out.
    std::shared_ptr<CNetSocket> m_socket;
    std::thread m_thread;
    WindowTimers m_timers;
    // Lives on this thread and takes the workers' word that they have ended; what a worker
    // posts after the window has gone is dropped with it.
    QObject m_endings;
};

}  // namespace kestrel
