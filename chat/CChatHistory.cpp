#include "chat/CChatHistory.h"

#include <fcntl.h>
#include <locale.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "chat/PeerText.h"
#include "platform/MessageBoxes.h"
#include "platform/StaleCopies.h"
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

// The system's words for an error number, in its C locale: plain ASCII whatever the user's
// locale, so they go into a CP932 text as they are.
std::string SystemReason(int error) {
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const char* words = c ? ::strerror_l(error, c) : nullptr;
    return std::string(words ? words : "error") + " (" + std::to_string(error) + ")";
}

bool CopySpool(std::FILE* spool, int to) {
    if (!spool) return true;
    if (std::fflush(spool) != 0) return false;
    return CopyAll(::fileno(spool), to);
}

}  // namespace

CChatHistory::CChatHistory() = default;
CChatHistory::~CChatHistory() = default;

void CChatHistory::AddShown(const QString& shown) {
    Add(ToCp932(shown, &m_replaced), shown);
}

void CChatHistory::Add(std::string line, QString shown) {
    ++m_filed;
    if (shown.isNull()) shown = FromCp932(line);
    m_lines.push_back(std::move(line));
    m_shown.push_back(std::move(shown));
    if (m_lines.size() <= kKeptLines) return;
    // The oldest line goes to the spool, already as the file will hold it.
    const std::string text = FileText(m_lines.front());
    m_lines.erase(m_lines.begin());
    m_shown.erase(m_shown.begin());
    if (!m_spool) m_spool.reset(std::tmpfile());
    if (!m_spool || m_spooled + text.size() > kMostSpooled) return;
    if (std::fwrite(text.data(), 1, text.size(), m_spool.get()) == text.size())
        m_spooled += text.size();
}

void CChatHistory::Clear() {
    m_lines.clear();
    m_shown.clear();
    m_replaced = 0;
    m_spool.reset();
    m_spooled = 0;
    m_filed = 0;
}

std::string CChatHistory::FileText(const std::string& line) {
    std::string text;
    text.reserve(line.size() + 2);
    for (const char c : line) {
        if (c == '\n')
            text += "\r\n\t";
        else
            text += c;
    }
    text += "\r\n";
    return text;
}

std::string CChatHistory::FileNameFor(const std::tm& local) {
    return sjis(txt::kHistoryPrefix) + FormatTime(txt::kHistoryDateFormat, local) + ".txt";
}

bool CChatHistory::AppendTo(const std::string& dir, const std::tm& local, int* error) const {
    int ignored = 0;
    int& why = error ? *error : ignored;
    why = 0;
    const std::string name = FileNameFor(local);
    const std::string path = dir + "/" + name;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        why = errno;
        return false;
    }
    // Another program holding the file: the history is not saved, as with a failed open.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        why = errno == EWOULDBLOCK ? EWOULDBLOCK : errno;
        ::close(fd);
        return false;
    }
    const std::string header = FormatTime(txt::kHistoryHeaderFormat, local) + "\r\n";
    std::string text;
    for (const std::string& line : m_lines) text += FileText(line);

    // The day's file with this run's lines added goes to a copy that is renamed over it: a
    // kill half-way through leaves the file as it was, never with a cut-off save at its end.
    std::string copy = dir + "/" + kCopyPrefix + name + ".XXXXXX";
    const int out = ::mkstemp(copy.data());
    bool ok = out >= 0;
    if (!ok) why = errno;
    if (ok) {
        ok = ::fchmod(out, 0600) == 0 && CopyAll(fd, out) && WriteAll(out, header) &&
             CopySpool(m_spool.get(), out) && WriteAll(out, text) && ::fsync(out) == 0;
        if (!ok) why = errno;
        const bool closed = ::close(out) == 0;
        if (ok && !closed) why = errno;
        ok = closed && ok && ::rename(copy.c_str(), path.c_str()) == 0;
        if (!ok && why == 0) why = errno;
        if (!ok) ::unlink(copy.c_str());
    }
    ::close(fd);
    return ok;
}

std::size_t CChatHistory::RemoveStaleCopies(const std::string& dir) {
    const std::string prefix = kCopyPrefix + sjis(txt::kHistoryPrefix);
    const std::string_view suffix = ".txt.";
    return kestrel::RemoveStaleCopies(dir, [&](std::string_view name) {
        return name.size() >= prefix.size() + suffix.size() + kCopySuffix &&
               name.substr(0, prefix.size()) == prefix &&
               name.substr(name.size() - kCopySuffix - suffix.size(), suffix.size()) == suffix;
    });
}

void CChatHistory::OfferSave(MessageBoxes& boxes, const std::string& dir,
                             const std::tm& local) const {
    if (Empty()) return;
    const std::string fileName = FileNameFor(local);
    const std::string& format = sjis(txt::kHistoryAsk);
    std::string question;
    const size_t at = format.find("%s");
    question = format.substr(0, at) + fileName + format.substr(at + 2);
    if (boxes.Show(question, sjis(txt::kProductTitle), BoxIcon::Question, BoxButtons::YesNo) !=
        BoxAnswer::Yes)
        return;
    // The lines are lost when the program ends: a failed save is said, with a chance to
    // free the file (close the editor holding it, make the directory writable) and try again.
    for (int error = 0; !AppendTo(dir, local, &error);) {
        const std::string reason =
            error == EWOULDBLOCK ? sjis(txt::kHistoryFileInUse) : SystemReason(error);
        std::string text = sjis(txt::kHistorySaveFailed);
        const std::string path = dir + "/" + fileName;
        const std::size_t first = text.find("%s");
        text.replace(first, 2, path);
        text.replace(text.find("%s", first + path.size()), 2, reason);
        if (boxes.Show(text, sjis(txt::kProductTitle), BoxIcon::Warning, BoxButtons::YesNo) !=
            BoxAnswer::Yes)
            return;
    }
}

}  // namespace kestrel
