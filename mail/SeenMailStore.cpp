#include "mail/SeenMailStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/StaleCopies.h"

namespace kestrel {
namespace {

enum class ReadResult { Ok, Missing, Failed };

ReadResult ReadWhole(const std::string& path, std::string& out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    ReadResult result = ReadResult::Ok;
    char chunk[65536];
    while (true) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || out.size() + static_cast<std::size_t>(n) > SeenMailStore::kMaxFileBytes) {
            result = ReadResult::Failed;
            break;
        }
        if (n == 0) break;
        out.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return result;
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        at += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

SeenMailStore::SeenMailStore(std::string path) : m_path(std::move(path)) {}

void SeenMailStore::Load() {
    if (m_loaded) return;
    m_loaded = true;
    if (m_path.empty()) return;
    std::string bytes;
    switch (ReadWhole(m_path, bytes)) {
        case ReadResult::Ok:
            m_book = SeenMailBook::Parse(bytes);
            break;
        case ReadResult::Missing:
            m_book = SeenMailBook{};
            break;
        case ReadResult::Failed:
            m_book = SeenMailBook::Unreadable();
            break;
    }
}

bool SeenMailStore::Save() {
    if (m_path.empty()) return true;
    const std::string bytes = m_book.Serialize();
    std::string temp = m_path + ".XXXXXX";
    // mkstemp makes the file for the user alone (0600).
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    const bool written =
        ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 && WriteAll(fd, bytes) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || std::rename(temp.c_str(), m_path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

SeenMailStore::Count SeenMailStore::Observe(const MailAccount& account,
                                            std::vector<std::string> listing) {
    std::lock_guard<std::mutex> hold(m_lock);
    Load();
    const SeenMailBook::Outcome outcome = m_book.Observe(account, std::move(listing));
    Count count;
    count.unread = outcome.unread;
    if (outcome.changed) count.saved = Save();
    return count;
}

bool SeenMailStore::MarkRead() {
    std::lock_guard<std::mutex> hold(m_lock);
    Load();
    return !m_book.MarkRead() || Save();
}

SeenMailBook SeenMailStore::Snapshot() {
    std::lock_guard<std::mutex> hold(m_lock);
    Load();
    return m_book;
}

std::size_t SeenMailStore::RemoveStaleCopies(const std::string& path) {
    // mkstemp's six characters after the file's own name and a dot.
    const std::size_t slash = path.rfind('/');
    const std::string prefix = (slash == std::string::npos ? path : path.substr(slash + 1)) + ".";
    constexpr std::size_t kSuffix = 6;
    return kestrel::RemoveStaleCopies(DirectoryOf(path), [&](std::string_view name) {
        return name.size() == prefix.size() + kSuffix && name.substr(0, prefix.size()) == prefix;
    });
}

}  // namespace kestrel
