#pragma once

#include <QObject>

#include <functional>
#include <string>

#include "net/PeriodicCheck.h"
#include "net/TlsCheck.h"
#include "net/TlsSettings.h"
#include "net/WorkerContext.h"
#include "news/NewsCheckState.h"
#include "platform/Timing.h"

namespace kestrel {

// The hidden "NewsCheck Window": every interval asks the NNTP server for the groups of the
// watch list newschck.lst and posts the names of those that have grown to the main frame as
// WM_NEW_NEWS (first payload: std::string, each name followed by one blank). Each check runs
// its dialogue on a thread of its own; destroying the window stops and waits for it.
class CNewsCheckWnd final : public QObject {
public:
    // noticeOpen tells whether a notification popup is open; checks skip their turn while it
    // is (none given: never).
    explicit CNewsCheckWnd(const WorkerContext& context, std::function<bool()> noticeOpen = {},
                           QObject* parent = nullptr, const Timing& timing = ProgramTiming());
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

    void OnTimer(int id) { m_check.OnTimer(id); }

    bool Busy() const { return m_check.Busy(); }

private:
    PeriodicCheck::Dialogue MakeDialogue();

    WorkerContext m_context;
    NewsCheckState m_state;
    TlsSettings m_tls;
    TlsCheckReport m_tlsReport;
    PeriodicCheck m_check;
};

}  // namespace kestrel
