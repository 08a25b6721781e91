#pragma once

#include <QObject>

#include <chrono>
#include <functional>
#include <string>

#include "mail/PopCheckRecord.h"
#include "net/PeriodicCheck.h"
#include "net/TlsCheck.h"
#include "net/TlsSettings.h"
#include "net/WorkerContext.h"
#include "platform/Timing.h"
#include "platform/WindowTimers.h"

namespace kestrel {

// The hidden "ImapCheck Window": counts the unread mail in the IMAP server's INBOX and posts
// the count to the main frame as WM_UNREAD_MAIL, as the POP3 check does. Where the server
// offers IDLE, the check stays connected and posts a new count as soon as the server tells
// of a change; a dropped connection is reopened after 1 s, 2 s, 4 s, ... while that stays
// under the interval, and the interval's check goes on behind it all the time, so a server
// without IDLE, or one whose IDLE keeps failing, is still counted every interval.
class CImapCheckWnd final : public QObject {
public:
    explicit CImapCheckWnd(const WorkerContext& context, std::function<bool()> noticeOpen = {},
                           QObject* parent = nullptr, const Timing& timing = ProgramTiming());
    ~CImapCheckWnd() override;
    CImapCheckWnd(const CImapCheckWnd&) = delete;
    CImapCheckWnd& operator=(const CImapCheckWnd&) = delete;

    // As the POP3 check's Start: refused for interval 0 (with a box) or an account that does
    // not fit its field (logged).
    bool Start(const std::string& server, int port, const std::string& user,
               const std::string& password, unsigned interval);
    bool SetInterval(unsigned interval);
    void SetSecurity(const TlsSettings& settings) { m_tls = settings; }

    bool Busy() const { return m_check.Busy(); }
    // An IDLE is held open right now.
    bool Idling() const { return m_idling; }
    // The wait before the next reopening of a dropped IDLE connection; 0 when none is due.
    int RetryDelayMs() const;

private:
    enum class Ended { Counted, Idled, Failed, Stopped };

    PeriodicCheck::Dialogue MakeDialogue();
    // User-interface thread: what a check's worker reports.
    void OnIdleStarted();
    void OnDialogueEnded(Ended how);
    void OnTimer(int id);

    WorkerContext m_context;
    PopCheckRecord m_record;
    TlsSettings m_tls;
    TlsCheckReport m_tlsReport;
    PeriodicCheck m_check;
    unsigned m_interval = 0;
    const Timing m_timing;
    WindowTimers m_timers;
    bool m_idling = false;
    bool m_retrying = false;  // a dropped IDLE is being reopened
    int m_nextRetryMs = 0;    // 0: the first wait
    std::chrono::steady_clock::time_point m_idleSince;
};

}  // namespace kestrel
