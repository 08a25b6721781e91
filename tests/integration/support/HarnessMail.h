#pragma once

#include <string>

namespace kestrel::test {

// Delivery into a Maildir of the harness's dovecot as a mail server does it: the message is
// written under tmp/ and renamed into new/, so dovecot never sees half of it. The files are
// given to the mail user (nobody). False on any failure.
bool deliverMail(const std::string& maildir, const std::string& subject);

// Remove every message of the Maildir (new/ and cur/), as a reader that deletes would.
bool emptyMaildir(const std::string& maildir);

// Whether dovecot's log records a connection that ended before any log-in: "no auth attempts",
// or, where its log-in process had not yet heard from its auth service (a loaded machine),
// "disconnected before auth was ready".
bool dovecotLogsNoLogIn(const std::string& log);

}  // namespace kestrel::test
