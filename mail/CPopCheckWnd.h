#pragma once

#include <QObject>

#include <functional>
#include <string>

#include "mail/PopCheckRecord.h"
#include "net/PeriodicCheck.h"
#include "net/TlsCheck.h"
#include "net/TlsSettings.h"
#include "net/WorkerContext.h"
#include "platform/Timing.h"

namespace kestrel {

class SeenMailStore;

// The hidden "PopCheck Window": counts the unread mail on the POP3 server every interval and
// posts the count to the main frame as WM_UNREAD_MAIL (wParam = count). Each check runs its
// dialogue on a thread of its own; destroying the window stops and waits for it.
class CPopCheckWnd final : public QObject {
public:
    // noticeOpen tells whether a notification popup is open; checks skip their turn while it
    // is (none given: never). seen keeps the mail already read for servers without LAST; the
    // popups mark it when they start the mail reader (none given: the program directory's
    // file, unmarked).
    explicit CPopCheckWnd(const WorkerContext& context, std::function<bool()> noticeOpen = {},
                          QObject* parent = nullptr, const Timing& timing = ProgramTiming(),
                          std::shared_ptr<SeenMailStore> seen = {});
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

    void OnTimer(int id) { m_check.OnTimer(id); }

    bool Busy() const { return m_check.Busy(); }

private:
    PeriodicCheck::Dialogue MakeDialogue();

    WorkerContext m_context;
    PopCheckRecord m_record;
    std::shared_ptr<SeenMailStore> m_seen;
    TlsSettings m_tls;
    TlsCheckReport m_tlsReport;
    PeriodicCheck m_check;
};

}  // namespace kestrel
