#include "net/TraceLog.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/ProgramDir.h"
#include "res/TextsCore.h"

namespace kestrel {

namespace {

constexpr std::size_t kMaxMessageBytes = 256;
constexpr off_t kRotateBytes = kLogRotateBytes;
// Another process (a second copy started by hand, a tool tailing with a lock) may hold the
// file for a moment; waiting this long is cheaper than losing the line.
constexpr int kLockAttempts = 200;
constexpr auto kLockPause = std::chrono::milliseconds(5);

std::atomic<bool> g_traceEnabled{false};

// One writer at a time inside the process, so a line never meets the file held by a sibling
// thread and gets dropped.
std::mutex& WriterLock() {
    static std::mutex lock;
    return lock;
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void LockAgainstOtherProcesses(int fd) {
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return;
        if (errno != EWOULDBLOCK && errno != EINTR) return;
        std::this_thread::sleep_for(kLockPause);
    }
    // Still held: O_APPEND keeps our short line whole, so writing beats dropping it.
}

}  // namespace

std::string ShapeLogLine(std::string_view message, std::time_t when) {
    if (message.empty()) message = txt::kLogNothing;
    if (message.size() > kMaxMessageBytes) message = message.substr(0, kMaxMessageBytes);

    std::tm local{};
    localtime_r(&when, &local);
    char stamp[64] = {};
    std::strftime(stamp, sizeof stamp, txt::kLogStampFormat, &local);

    std::string line(stamp);
    line.append(message);
    line.append("\r\n");
    // A message that ends its own line, or carries an empty line, ends at its first line end
    // of that pair: the log never holds blank lines.
    if (const auto pair = line.find("\r\n\r\n"); pair != std::string::npos) line.resize(pair + 2);
    return line;
}

bool AppendLogLine(const std::string& path, std::string_view message) {
    const std::string line = ShapeLogLine(message, std::time(nullptr));

    std::lock_guard guard(WriterLock());
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    LockAgainstOtherProcesses(fd);
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0 &&
        st.st_size + static_cast<off_t>(line.size()) > kRotateBytes) {
        // Renamed while held: a writer in another process that opened the old file before
        // finishes its line there, in the old file.
        if (::rename(path.c_str(), (path + kOldLogSuffix).c_str()) == 0) {
            ::close(fd);
            fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
            if (fd < 0) return false;
            LockAgainstOtherProcesses(fd);
        }
    }
    const bool written = WriteAll(fd, line);
    ::close(fd);  // also drops the flock
    return written;
}

void SetTraceEnabled(bool enabled) {
    g_traceEnabled.store(enabled);
}

bool TraceEnabled() {
    return g_traceEnabled.load();
}

std::string EventLogPath() {
    return ProgramFile(txt::kEventLogName);
}

std::string SocketLogPath() {
    return ProgramFile(txt::kSocketLogName);
}

void WriteTrace(std::string_view message) {
    if (!TraceEnabled()) return;
    AppendLogLine(SocketLogPath(), message);
}

void OnWriteLog(std::string_view message) {
    if (!TraceEnabled()) return;
    AppendLogLine(EventLogPath(), message);
}

}  // namespace kestrel
