#pragma once

#include <memory>
#include <string>

#include "net/TlsSettings.h"

namespace kestrel {

// The service's workers as the controller drives them. The real ones are the hidden worker
// windows; tests give the controller fakes.
class MailWorker {
public:
    virtual ~MailWorker() = default;
    virtual bool Start(const std::string& server, int port, const std::string& user,
                       const std::string& password, unsigned interval) = 0;
    virtual bool SetInterval(unsigned interval) = 0;
};

class NewsWorker {
public:
    virtual ~NewsWorker() = default;
    // 1 on success; -1 the watch list is missing, -2 the timer failed, -3 the interval is
    // too small.
    virtual int InitCheck(const std::string& server, int port, unsigned interval) = 0;
    virtual int ChangeInterval(unsigned interval) = 0;
};

class IdentWorker {
public:
    virtual ~IdentWorker() = default;
    virtual bool Start(int port, const std::string& user) = 0;
};

// How the mail is counted; the stored values of `MailProtocol`.
enum class MailProtocol : int { Pop3 = 0, Imap = 1 };

class WorkerFactory {
public:
    virtual ~WorkerFactory() = default;
    virtual std::unique_ptr<MailWorker> MakeMailWorker() = 0;
    virtual std::unique_ptr<NewsWorker> MakeNewsWorker() = 0;
    virtual std::unique_ptr<IdentWorker> MakeIdentWorker() = 0;
    // The POP3 log-in verification; shows its own messages and returns the server's verdict.
    virtual bool Verify(const std::string& server, int port, const std::string& user,
                        const std::string& password) = 0;
    // The password change over poppassd; shows its own messages and returns the server's
    // verdict.
    // TLS for the POP3 and NNTP workers and verifications made from now on (none until set).
    virtual void SetSecurity(const TlsSettings& pop, const TlsSettings& news) {
        (void)pop;
        (void)news;
    }
    // The protocol of the mail workers and log-in verifications made from now on (POP3
    // until set).
    virtual void SetMailProtocol(MailProtocol protocol) { (void)protocol; }
    virtual bool ChangePassword(const std::string& server, int port, const std::string& user,
                                const std::string& currentPassword,
                                const std::string& newPassword) = 0;
};

}  // namespace kestrel
