#pragma once

#include <atomic>

namespace kestrel {

// Every duration the program waits for, in one table. The defaults are the program's own
// values; tests scale the table down instead of waiting real seconds.
//
// The PASS reply gets a longer budget than other replies: a server holds back its answer to a
// wrong password as a penalty (dovecot: about 6 s, up to 15 s) and its [IN-USE] refusal until
// its own wait for the box has run out (dovecot: about 10 s); either must end as what it is,
// not as "no answer".
struct Timing {
    int pollSliceMs = 50;          // one wait for a protocol reply
    int pollSlices = 100;          // slices per reply (about 5 s)
    int passReplySlices = 300;     // PASS reply, 15 s: past a server's penalty or lock wait
    int newPassSliceMs = 100;      // poppassd new-password reply
    int newPassSlices = 1500;      // 2 min 30 s
    int mailFirstCheckMs = 10000;  // first mail check after start
    int newsFirstCheckMs = 25000;  // first news check after start
    int minuteMs = 60000;          // unit of the check intervals
    int workerStopWaitMs = 20000;  // how long a worker window waits for its running check
    int ackTimeoutMs = 3000;       // peer chat acknowledgement
    int memberRefreshMs = 6000;    // member list refresh
    int saverPollMs = 1000;        // screen-saver poll
    int saverAwayMs = 20000;       // screen saver running long enough to switch to away
    int awayReminderMs = 30000;    // away reminder
    int reminderCloseMs = 8000;    // the away reminder closes itself
    int exitPauseMs = 1000;        // pause after the exit broadcast
    int readerRetryMs = 1000;      // wait between reader connection attempts
    int readerRetries = 15;        // attempts after starting a reader
    // A server out of descriptors stops accepting for this long instead of being woken at once
    // for the same pending connection; short enough that a waiting query is hardly delayed.
    // Also how long an accepted connection must have been silent before it may be given up
    // for a pending one.
    int acceptRetryMs = 200;
    // An accepted connection that sends nothing for this long is closed. An ident client sends
    // its query as soon as it is connected and gives up itself within seconds; a silent peer
    // only holds a slot that a real query needs.
    int idleConnectionMs = 30000;
    // An IMAP IDLE is renewed this often: servers may drop one that has run 30 minutes
    // (RFC 2177 asks clients to renew within 29).
    int imapIdleRenewMs = 25 * 60000;
    // One wait while an IDLE is held. The server's word ends it at once and so does a stop
    // (the worker's socket is interrupted), so it only sets how often an idle check wakes.
    int imapIdleSliceMs = 60000;
    // The first wait before an IDLE connection that dropped is reopened; each further attempt
    // waits twice as long, up to the mail interval.
    int imapRetryFirstMs = 1000;

    // Every duration multiplied by factor (at least 1 ms where the default is not 0);
    // the counts stay.
    Timing Scaled(double factor) const;
};

// Wait until a worker's busy flag is clear, at most budgetMs; true when it cleared. Used by
// worker windows on their way out, before they join their thread.
bool WaitUntilClear(const std::atomic<int>& flag, int budgetMs);

// The table the program runs with: what the objects that wait take when they are given
// none. Tests give their objects a table of their own instead of changing this one.
const Timing& ProgramTiming();

}  // namespace kestrel
