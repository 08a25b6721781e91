#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace kestrel {

// Shape one line (stamp, message cut to 256 bytes, "--nothing--" for an empty one, cut after
// the first empty line) and append it to the file, creating it readable and writable by the
// user only. A file that the line would take past kLogRotateBytes is first renamed to the
// same name with kOldLogSuffix (replacing the older one), so a log never grows without end. Writers
// inside the process are serialised, so no line is lost to another thread of the program. Returns
// false when the line could not be written.
bool AppendLogLine(const std::string& path, std::string_view message);
// Tracing is left on for weeks in an office, and a busy ident port writes a few hundred bytes
// a query. A mebibyte holds some days of ordinary checks, enough to look back on a fault, and
// the two logs with their old files never take more than 4 MiB of the program's directory.
inline constexpr long long kLogRotateBytes = 1 << 20;
inline constexpr char kOldLogSuffix[] = ".1";

// The line AppendLogLine writes for a message at the given time (local time stamp).
std::string ShapeLogLine(std::string_view message, std::time_t when);

// The application-wide trace flag (Environment/debug, read once at start-up).
void SetTraceEnabled(bool enabled);
bool TraceEnabled();

// Paths of the two logs in the program directory.
std::string EventLogPath();   // kestrel.log
std::string SocketLogPath();  // SocketWindow.log

// The socket trace: when tracing is on, one line to SocketWindow.log, on the calling thread.
void WriteTrace(std::string_view message);

// The event log writer on the user-interface thread: when tracing is on, one line to
// kestrel.log.
void OnWriteLog(std::string_view message);

}  // namespace kestrel
