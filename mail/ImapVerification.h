#pragma once

#include <string>

#include "net/TlsSettings.h"
#include "net/WorkerContext.h"
#include "platform/Timing.h"

namespace kestrel {

// The log-in check at start over IMAP: the same verdicts and boxes ("認証失敗") as the POP3
// one, on the user-interface thread, which goes on serving its events while the server is
// awaited. The session logs in and out; nothing is counted. A refusal for the moment is no
// wrong password: its box asks to log in again later.
bool VerifyImapAccount(const WorkerContext& context, const Timing& timing, const TlsSettings& tls,
                       const std::string& server, int port, const std::string& user,
                       const std::string& password);

}  // namespace kestrel
