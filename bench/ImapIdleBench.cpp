// How soon the program hears of new mail: the median time from a delivery (a file renamed into
// the Maildir's new/) to the check's new count, over IMAP with IDLE and, in the same run, over
// POP3 at a 1-minute timer (goal for IMAP: under 1 s). Then what holding the IDLE costs beside
// the POP3 road's timer: voluntary context switches (the process's wake-ups) per minute and CPU
// time, each road left alone for the same minutes. Needs the harness's servers.env (its plain
// dovecot, the counted user's Maildir, which is emptied at the start and the end).
// Usage: bench_imap_idle [deliveries=20] [idle-minutes=10]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>

#include "mail/CImapCheckWnd.h"
#include "mail/CPopCheckWnd.h"
#include "mail/SeenMailStore.h"
#include "net/EventLog.h"
#include "platform/MessageEvent.h"
#include "platform/Timing.h"
#include "res/Ids.h"

namespace {

using namespace kestrel;
namespace fs = std::filesystem;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Keeps the latest count posted and when it came.
class CountWatcher final : public QObject {
public:
    void customEvent(QEvent* e) override {
        if (auto* m = asMessage(e); m && m->message() == WM_UNREAD_MAIL) {
            latest = static_cast<long>(m->wParam());
            at = std::chrono::steady_clock::now();
        }
    }
    long latest = -1;
    std::chrono::steady_clock::time_point at;
};

bool SpinUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        usleep(1000);
    }
    return true;
}

void EmptyMaildir(const std::string& maildir) {
    for (const char* sub : {"new", "cur"}) {
        for (const auto& entry : fs::directory_iterator(fs::path(maildir) / sub)) {
            fs::remove(entry.path());
        }
    }
}

void Deliver(const std::string& maildir, int n) {
    const std::string name = std::to_string(n) + ".P" + std::to_string(getpid()) + ".bench";
    const fs::path temp = fs::path(maildir) / "tmp" / name;
    {
        std::ofstream out(temp, std::ios::binary);
        out << "From: bench@example.invalid\r\nSubject: bench " << n << "\r\n\r\nBody.\r\n";
    }
    if (const passwd* nobody = getpwnam("nobody")) {
        if (chown(temp.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) std::perror("chown");
    }
    fs::rename(temp, fs::path(maildir) / "new" / name);
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Delivery to notice, n times, with the check already running; waits past the 1-minute timer.
std::vector<double> Latencies(CountWatcher& frame, const std::string& maildir, int n,
                              int& delivered, bool randomWait) {
    std::mt19937 random(42);
    std::vector<double> seconds;
    for (int i = 0; i < n; ++i) {
        // POP3: deliveries fall anywhere in the timer's minute, as mail does.
        if (randomWait) {
            const int wait = std::uniform_int_distribution<int>(0, 59000)(random);
            SpinUntil([] { return false; }, wait);
        }
        const long before = frame.latest;
        const auto start = std::chrono::steady_clock::now();
        Deliver(maildir, ++delivered);
        if (!SpinUntil([&] { return frame.latest > before; }, 130000)) {
            std::printf("  delivery %d: no notice within 130 s\n", i + 1);
            continue;
        }
        seconds.push_back(std::chrono::duration<double>(frame.at - start).count());
    }
    return seconds;
}

struct Cost {
    double wakeupsPerMinute;
    double cpuMsPerMinute;
};

Cost Hold(int minutes) {
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    // The event loop sleeps until its timer: the wake-ups counted are the check's own.
    QEventLoop loop;
    QTimer::singleShot(minutes * 60000, &loop, &QEventLoop::quit);
    loop.exec();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    const double cpu =
        ms(after.ru_utime) + ms(after.ru_stime) - ms(before.ru_utime) - ms(before.ru_stime);
    return {static_cast<double>(after.ru_nvcsw - before.ru_nvcsw) / minutes, cpu / minutes};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int deliveries = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const int idleMinutes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    const std::string maildir = Env("KESTREL_IT_POP3_COUNTED_MAILDIR");
    const std::string user = Env("KESTREL_IT_POP3_COUNTED_USER");
    const std::string password = Env("KESTREL_IT_POP3_COUNTED_PASS");
    const int imapPort = std::atoi(Env("KESTREL_IT_IMAP_PORT").c_str());
    const int popPort = std::atoi(Env("KESTREL_IT_POP3_PORT").c_str());
    if (maildir.empty() || imapPort == 0 || popPort == 0) {
        std::fprintf(stderr, "bench_imap_idle: source the harness's servers.env first\n");
        return 2;
    }
    // The program's own timing, the first check at once.
    Timing timing;
    timing.mailFirstCheckMs = 1;
    NullLogSink log;
    CountWatcher frame;
    int delivered = 0;
    EmptyMaildir(maildir);

    std::vector<double> imap;
    Cost imapCost{};
    {
        CImapCheckWnd wnd(WorkerContext{&frame, &log, nullptr}, nullptr, nullptr, timing);
        wnd.Start("127.0.0.1", imapPort, user, password, 1);
        if (!SpinUntil([&] { return wnd.Idling() && frame.latest >= 0; }, 30000)) {
            std::fprintf(stderr, "bench_imap_idle: no IDLE from dovecot\n");
            return 1;
        }
        imap = Latencies(frame, maildir, deliveries, delivered, false);
        imapCost = Hold(idleMinutes);
    }

    std::vector<double> pop;
    Cost popCost{};
    {
        QTemporaryDir dir;
        auto seen = std::make_shared<SeenMailStore>(
            (dir.path() + QStringLiteral("/seen.dat")).toStdString());
        frame.latest = -1;
        CPopCheckWnd wnd(WorkerContext{&frame, &log, nullptr}, nullptr, nullptr, timing, seen);
        wnd.Start("127.0.0.1", popPort, user, password, 1);
        SpinUntil([&] { return frame.latest >= 0; }, 30000);
        pop = Latencies(frame, maildir, deliveries, delivered, true);
        popCost = Hold(idleMinutes);
    }
    EmptyMaildir(maildir);

    std::printf("delivery to notice, median of %zu / %zu deliveries:\n", imap.size(), pop.size());
    std::printf("  IMAP IDLE         %8.3f s   (goal: under 1 s)\n", Median(imap));
    std::printf("  POP3, 1-min timer %8.3f s\n", Median(pop));
    std::printf("holding still for %d min, per minute:\n", idleMinutes);
    std::printf("  IMAP IDLE         %8.0f wake-ups  %8.1f ms CPU\n", imapCost.wakeupsPerMinute,
                imapCost.cpuMsPerMinute);
    std::printf("  POP3, 1-min timer %8.0f wake-ups  %8.1f ms CPU\n", popCost.wakeupsPerMinute,
                popCost.cpuMsPerMinute);
    return 0;
}
