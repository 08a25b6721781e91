#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "net/TlsSettings.h"
#include "net/WorkerContext.h"
#include "news/NewsCheckState.h"
#include "platform/WindowTimers.h"

namespace kestrel {

class CNetSocket;
class TlsChannel;

// The hidden "NewsCheck Window": every interval asks the NNTP server for the groups of the
// watch list newschck.lst and posts the names of those that have grown to the main frame as
// WM_NEW_NEWS (first payload: std::string, each name followed by one blank). Each check runs
// its dialogue on a thread of its own; destroying the window stops and waits for it.
class CNewsCheckWnd final : public QObject {
public:
    // noticeOpen tells whether a notification popup is open; checks skip their turn while it
    // is (none given: never).
    explicit CNewsCheckWnd(const WorkerContext& context, std::function<bool()> noticeOpen = {},
                           QObject* parent = nullptr);
    ~CNewsCheckWnd() override;
    CNewsCheckWnd(const CNewsCheckWnd&) = delete;
    CNewsCheckWnd& operator=(const CNewsCheckWnd&) = delete;

    // Take the server and the interval (minutes) and arm the first check.
    // 1 done; -1 the watch list cannot be opened with exclusive access; -2 the timer cannot be
    // set; -3 the interval is below 3 (nothing else done).
    int InitCheck(const std::string& server, int port, unsigned interval);
    // A new interval; the next check comes after the first-check delay. 1 done, 0 refused
    // (2 or less, with a box; the checks stay stopped) or the timer failed.
    int ChangeInterval(unsigned minutes);
    // TLS for the checks from the next one on (none until set).
    void SetSecurity(const TlsSettings& settings) { m_tls = settings; }

    void OnTimer(int id);

    bool Busy() const { return m_state.status.load() != 0; }

private:
    struct Job;
    void NewsCheckThread(Job job);
    bool ArmInterval();
    void Log(std::string_view text);
    // From the worker: a check that could not be secured; the box comes once per failure
    // reason until a check is secured again, the log line every time.
    void ReportTlsFailure(const TlsChannel& channel, const std::string& server);
    void ReportTlsSecured();

    WorkerContext m_context;
    std::function<bool()> m_noticeOpen;
    unsigned m_interval = 0;
    NewsCheckState m_state;
    TlsSettings m_tls;
    std::string m_tlsBoxShown;  // user-interface thread only
    std::thread m_thread;
    WindowTimers m_timers;
};

}  // namespace kestrel
