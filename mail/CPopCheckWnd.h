#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "mail/PopCheckRecord.h"
#include "net/TlsSettings.h"
#include "net/WorkerContext.h"
#include "platform/WindowTimers.h"

namespace kestrel {

class CNetSocket;
class TlsChannel;
struct Timing;

// The hidden "PopCheck Window": counts the unread mail on the POP3 server every interval and
// posts the count to the main frame as WM_UNREAD_MAIL (wParam = count). Each check runs its
// dialogue on a thread of its own; destroying the window stops and waits for it.
class CPopCheckWnd final : public QObject {
public:
    // noticeOpen tells whether a notification popup is open; checks skip their turn while it
    // is (none given: never).
    explicit CPopCheckWnd(const WorkerContext& context, std::function<bool()> noticeOpen = {},
                          QObject* parent = nullptr);
    ~CPopCheckWnd() override;
    CPopCheckWnd(const CPopCheckWnd&) = delete;
    CPopCheckWnd& operator=(const CPopCheckWnd&) = delete;

    // Take the account and the interval (minutes) and arm the first check. Refused: interval
    // 0 (with a box), or a server, user or password that does not fit its field or its
    // command (logged).
    bool Start(const std::string& server, int port, const std::string& user,
               const std::string& password, unsigned interval);
    // A new interval; the next check comes after the first-check delay.
    bool SetInterval(unsigned interval);
    // TLS for the checks from the next one on (none until set).
    void SetSecurity(const TlsSettings& settings) { m_tls = settings; }

    void OnTimer(int id);

    bool Busy() const { return m_record.busy.load() != 0; }

private:
    struct Job;
    void PopCheckThread(Job job);
    bool ArmInterval();
    void Log(std::string_view text);
    // From the worker: a check that could not be secured; the box comes once per failure
    // reason until a check is secured again, the log line every time.
    void ReportTlsFailure(const TlsChannel& channel, const std::string& server);
    void ReportTlsSecured();

    WorkerContext m_context;
    std::function<bool()> m_noticeOpen;
    unsigned m_interval = 0;
    PopCheckRecord m_record;
    TlsSettings m_tls;
    std::string m_tlsBoxShown;  // user-interface thread only
    std::thread m_thread;
    WindowTimers m_timers;
};

}  // namespace kestrel
