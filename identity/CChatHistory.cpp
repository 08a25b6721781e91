#include "identity/CChatHistory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string_view>

#include "platform/MessageBoxes.h"
#include "res/Text.h"
#include "res/TextsCore.h"

namespace kestrel {
namespace {

std::string FormatTime(const char* format, const std::tm& t) {
    char buf[128] = {};
    const size_t n = std::strftime(buf, sizeof buf, format, &t);
    return std::string(buf, n);
}

// A save goes to ".<file name>.XXXXXX" beside the history first.
constexpr char kCopyPrefix[] = ".";
constexpr std::size_t kCopySuffix = 6;

bool WriteAll(int fd, std::string_view data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool CopyAll(int from, int to) {
    char buffer[65536];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(from, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (!WriteAll(to, std::string_view(buffer, static_cast<std::size_t>(n)))) return false;
        at += n;
    }
}

}  // namespace

std::string CChatHistory::FileNameFor(const std::tm& local) {
    return sjis(txt::kHistoryPrefix) + FormatTime(txt::kHistoryDateFormat, local) + ".txt";
}

bool CChatHistory::AppendTo(const std::string& dir, const std::tm& local) const {
    const std::string name = FileNameFor(local);
    const std::string path = dir + "/" + name;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    // Another program holding the file: the history is not saved, as with a failed open.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    std::string text = FormatTime(txt::kHistoryHeaderFormat, local) + "\r\n";
    for (const std::string& line : m_lines) text += line + "\r\n";

    // The day's file with this run's lines added goes to a copy that is renamed over it: a
    // kill half-way through leaves the file as it was, never with a cut-off save at its end.
    std::string copy = dir + "/" + kCopyPrefix + name + ".XXXXXX";
    const int out = ::mkstemp(copy.data());
    bool ok = out >= 0;
    if (ok) {
        ok = ::fchmod(out, 0600) == 0 && CopyAll(fd, out) && WriteAll(out, text) &&
             ::fsync(out) == 0;
        ok = ::close(out) == 0 && ok && ::rename(copy.c_str(), path.c_str()) == 0;
        if (!ok) ::unlink(copy.c_str());
    }
    ::close(fd);
    return ok;
}

std::size_t CChatHistory::RemoveStaleCopies(const std::string& dir) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return 0;
    const std::string prefix = kCopyPrefix + sjis(txt::kHistoryPrefix);
    const std::string_view suffix = ".txt.";
    std::size_t removed = 0;
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name = e->d_name;
        if (name.size() < prefix.size() + suffix.size() + kCopySuffix ||
            name.substr(0, prefix.size()) != prefix ||
            name.substr(name.size() - kCopySuffix - suffix.size(), suffix.size()) != suffix)
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (::unlinkat(::dirfd(d), e->d_name, 0) == 0) ++removed;
    }
    ::closedir(d);
    return removed;
}

void CChatHistory::OfferSave(MessageBoxes& boxes, const std::string& dir,
                             const std::tm& local) const {
    if (m_lines.empty()) return;
    const std::string fileName = FileNameFor(local);
    const std::string& format = sjis(txt::kHistoryAsk);
    std::string question;
    const size_t at = format.find("%s");
    question = format.substr(0, at) + fileName + format.substr(at + 2);
    if (boxes.Show(question, sjis(txt::kProductTitle), BoxIcon::Question, BoxButtons::YesNo) !=
        BoxAnswer::Yes)
        return;
    AppendTo(dir, local);
}

}  // namespace kestrel
