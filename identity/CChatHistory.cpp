#include "identity/CChatHistory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>

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

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string CChatHistory::FileNameFor(const std::tm& local) {
    return sjis(txt::kHistoryPrefix) + FormatTime(txt::kHistoryDateFormat, local) + ".txt";
}

bool CChatHistory::AppendTo(const std::string& dir, const std::tm& local) const {
    const std::string path = dir + "/" + FileNameFor(local);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    // Another program holding the file: the history is not saved, as with a failed open.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    std::string text = FormatTime(txt::kHistoryHeaderFormat, local) + "\r\n";
    for (const std::string& line : m_lines) text += line + "\r\n";
    const bool ok = WriteAll(fd, text);
    ::close(fd);
    return ok;
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
