#include "news/WatchListFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "news/WatchList.h"
#include "platform/StaleCopies.h"
#include "res/Ids.h"

namespace kestrel {
namespace {

constexpr std::size_t kReadChunk = 16384;
// The rewrite's copy lies beside the list under this name and mkstemp's six characters.
constexpr char kCopyPrefix[] = ".newschck.lst.";
constexpr std::size_t kCopySuffix = 6;

long long MtimeNs(const struct stat& st) {
    return static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Open read-only and take the exclusive lock without waiting; -1 when either fails.
int OpenLocked(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

WatchListFile::~WatchListFile() {
    Close();
}

bool WatchListFile::CanOpen(const std::string& path) {
    const int fd = OpenLocked(path);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool WatchListFile::Open(const std::string& path) {
    Close();
    m_fd = OpenLocked(path);
    if (m_fd < 0) return false;
    struct stat st {};
    ::fstat(m_fd, &st);
    m_size = static_cast<long long>(st.st_size);
    m_mtimeNs = MtimeNs(st);
    // A symbolic link is followed once here, so the rewrite replaces the list itself.
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        m_path = real;
        std::free(real);
    } else {
        m_path = path;
    }
    // Enough for the lines a check uses: MAX_GROUPS line ends, the whole file, or the limit.
    std::size_t got = 0;
    std::size_t lineEnds = 0;
    while (got < WatchList::kHeadLimit && lineEnds < MAX_GROUPS) {
        m_head.resize(std::min(got + kReadChunk, WatchList::kHeadLimit));
        const ssize_t n =
            ::pread(m_fd, m_head.data() + got, m_head.size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            Close();
            return false;
        }
        if (n == 0) break;
        lineEnds += static_cast<std::size_t>(
            std::count(m_head.data() + got, m_head.data() + got + n, '\n'));
        got += static_cast<std::size_t>(n);
    }
    m_head.resize(got);
    return true;
}

void WatchListFile::Close() {
    if (m_fd >= 0) ::close(m_fd);  // releases the lock
    m_fd = -1;
    m_head.clear();
}

bool WatchListFile::CopyTail(int to, std::size_t from) const {
    char buffer[65536];
    off_t at = static_cast<off_t>(from);
    for (;;) {
        const ssize_t n = ::pread(m_fd, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (!WriteAll(to, buffer, static_cast<std::size_t>(n))) return false;
        at += n;
    }
}

bool WatchListFile::Rewrite(std::string_view lines, std::size_t keepFrom) {
    if (m_fd < 0) return false;
    struct stat held {};
    struct stat named {};
    if (::fstat(m_fd, &held) != 0 || ::stat(m_path.c_str(), &named) != 0) return false;
    // Editors save by writing a new file and renaming it over the old one, without any lock;
    // such a save during the check makes the list another file or another content.
    if (held.st_dev != named.st_dev || held.st_ino != named.st_ino ||
        static_cast<long long>(held.st_size) != m_size || MtimeNs(held) != m_mtimeNs) {
        return false;
    }
    if (static_cast<long long>(keepFrom) > m_size) return false;

    std::string temp = DirectoryOf(m_path) + "/" + kCopyPrefix + std::string(kCopySuffix, 'X');
    const int out = ::mkstemp(temp.data());
    if (out < 0) return false;
    const bool written = ::fchmod(out, held.st_mode & 07777) == 0 &&
                         WriteAll(out, lines.data(), lines.size()) && CopyTail(out, keepFrom) &&
                         ::fsync(out) == 0;
    if (::close(out) != 0 || !written || ::rename(temp.c_str(), m_path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    // The rename itself reaches the disk with the directory.
    const int dir = ::open(DirectoryOf(m_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

std::size_t WatchListFile::RemoveStaleCopies(const std::string& path) {
    const std::string_view prefix = kCopyPrefix;
    return kestrel::RemoveStaleCopies(DirectoryOf(path), [&](std::string_view name) {
        return name.size() == prefix.size() + kCopySuffix &&
               name.substr(0, prefix.size()) == prefix;
    });
}

}  // namespace kestrel
