// Soak: the mail check, the news check and the ident responder run for a bounded time
// against scripted peers on loopback that misbehave at random (slow, silent, closing, sending
// garbage). Every minute it prints the program side's resident memory, open descriptors and
// threads with what was done; the goal is flat lines. Figures only; nothing is asserted.
//
//   bench_soak [minutes = 10] [seconds between figures = 60]
//
// The peers run in a child process of their own, so the figures are the program's alone.
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bench/BenchFrame.h"
#include "ident/CIdentificationWnd.h"
#include "mail/CPopCheckWnd.h"
#include "net/EventLog.h"
#include "news/CNewsCheckWnd.h"
#include "platform/MessageEvent.h"
#include "platform/ProgramDir.h"
#include "platform/Timing.h"
#include "res/Ids.h"
#include "tests/fakes/ScriptedLineServer.h"

namespace {

using kestrel::test::ScriptedLineServer;
using S = ScriptedLineServer;
using Clock = std::chrono::steady_clock;

const char* const kGroups[] = {"fj.soak.a", "fj.soak.b", "fj.soak.c", "fj.soak.d", "fj.soak.e"};

// What the peers did, kept in memory both processes see.
struct PeerCounts {
    std::atomic<long> identAnswered{0};
    std::atomic<long> identWrong{0};
    std::atomic<long> identNoReply{0};
    std::atomic<long> identTimedOut{0};
    std::atomic<long> identRefused{0};
    std::atomic<long> identSilentHeld{0};
    std::atomic<long> identSilentClosedByResponder{0};
    std::atomic<bool> stop{false};
};

// ---- the scripted peers ------------------------------------------------------------------

std::string Garbage(std::mt19937& random) {
    std::string bytes(std::uniform_int_distribution<int>(1, 600)(random), '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

// A dialogue of (line expected, reply) pairs, spoiled at random: slow, silent, closing or
// garbage at some step; about half the connections are well behaved.
S::Script Spoil(const std::string& greeting,
                const std::vector<std::pair<std::string, std::string>>& steps,
                std::mt19937& random) {
    const int fault = std::uniform_int_distribution<int>(0, 99)(random);
    const int at = std::uniform_int_distribution<int>(0, static_cast<int>(steps.size()))(random);
    auto pause = [&] {
        // Mostly within the reply budget, now and then beyond it.
        return std::uniform_int_distribution<int>(0, 9)(random) == 0
                   ? 6000
                   : std::uniform_int_distribution<int>(50, 1500)(random);
    };
    S::Script script;
    auto reply = [&](int step, const std::string& text) {
        if (fault >= 50 && fault < 65) script.push_back(S::Wait(pause()));
        if (step == at && fault >= 65 && fault < 75) script.push_back(S::Stall());
        if (step == at && fault >= 75 && fault < 85) script.push_back(S::Close());
        if (step == at && fault >= 85) script.push_back(S::Send(Garbage(random)));
        script.push_back(S::Send(text));
    };
    reply(0, greeting);
    for (size_t i = 0; i < steps.size(); ++i) {
        script.push_back(S::ExpectLine(steps[i].first));
        reply(static_cast<int>(i) + 1, steps[i].second);
    }
    script.push_back(S::Close());
    return script;
}

std::vector<S::Script> PopScripts(size_t count, std::mt19937& random) {
    std::vector<S::Script> scripts;
    for (size_t i = 0; i < count; ++i) {
        const int total = std::uniform_int_distribution<int>(0, 30)(random);
        std::vector<std::pair<std::string, std::string>> steps = {
            {"user", "+OK\r\n"},
            {"pass", "+OK soak has " + std::to_string(total) + " messages (9999 octets)\r\n"}};
        if (total != 0)
            steps.push_back({"last", "+OK " + std::to_string(random() % (total + 1)) + "\r\n"});
        steps.push_back({"quit", "+OK bye\r\n"});
        scripts.push_back(Spoil("+OK POP3 soak ready\r\n", steps, random));
    }
    return scripts;
}

std::vector<S::Script> NntpScripts(size_t count, std::mt19937& random) {
    std::vector<S::Script> scripts;
    long last = 100;
    for (size_t i = 0; i < count; ++i) {
        std::vector<std::pair<std::string, std::string>> steps;
        last += std::uniform_int_distribution<int>(0, 3)(random);
        for (const char* group : kGroups) {
            steps.push_back({std::string("group ") + group, "211 " + std::to_string(last) + " 1 " +
                                                                std::to_string(last) + " " + group +
                                                                "\r\n"});
        }
        steps.push_back({"quit", "205 bye\r\n"});
        scripts.push_back(Spoil("200 soak NNRP ready (posting ok)\r\n", steps, random));
    }
    return scripts;
}

int ConnectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    timeval limit{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// What came before the close; timedOut when the responder neither answered nor closed.
std::string ReadUntilClosed(int fd, bool* timedOut = nullptr) {
    std::string got;
    char buffer[512];
    ssize_t n;
    while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
        got.append(buffer, static_cast<std::size_t>(n));
    if (timedOut) *timedOut = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    return got;
}

// Ident clients: well-behaved queries among slow, silent, closing and garbage ones.
void AskIdent(int port, unsigned seed, PeerCounts& counts) {
    std::mt19937 random(seed);
    std::deque<std::pair<int, Clock::time_point>> silent;
    while (!counts.stop) {
        // Silent peers go after a while of their own, some only after the responder's
        // time-out has closed them.
        while (!silent.empty() && silent.front().second <= Clock::now()) {
            pollfd p{silent.front().first, POLLIN, 0};
            char c;
            if (::poll(&p, 1, 0) > 0 && ::recv(p.fd, &c, 1, MSG_DONTWAIT) <= 0)
                ++counts.identSilentClosedByResponder;
            ::close(silent.front().first);
            silent.pop_front();
            --counts.identSilentHeld;
        }
        const int kind = std::uniform_int_distribution<int>(0, 99)(random);
        const int fd = ConnectTo(port);
        if (fd < 0) {
            ++counts.identRefused;
        } else if (kind < 60) {
            const std::string query = std::to_string(1024 + random() % 60000) + ", 113\r\n";
            ::send(fd, query.data(), query.size(), MSG_NOSIGNAL);
            const std::string expected =
                query.substr(0, query.size() - 2) + ":USERID:MS-DOS:soak\r\n";
            bool timedOut = false;
            const std::string reply = ReadUntilClosed(fd, &timedOut);
            (reply == expected ? counts.identAnswered
             : timedOut        ? counts.identTimedOut
             : reply.empty()   ? counts.identNoReply
                               : counts.identWrong)++;
            ::close(fd);
        } else if (kind < 70) {
            // Slow: the first byte alone is the first data event.
            const std::string query = "6193, 23\r\n";
            for (char c : query) {
                if (::send(fd, &c, 1, MSG_NOSIGNAL) != 1) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
            }
            ReadUntilClosed(fd);
            ::close(fd);
        } else if (kind < 80 && silent.size() < 40) {
            silent.emplace_back(fd, Clock::now() + std::chrono::seconds(1 + random() % 45));
            ++counts.identSilentHeld;
        } else if (kind < 90) {
            ::close(fd);
        } else {
            const std::string bytes = Garbage(random);
            ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            ReadUntilClosed(fd);
            ::close(fd);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    for (const auto& s : silent) ::close(s.first);
}

int RunPeers(int toProgram, int fromProgram, double minutes, PeerCounts& counts) {
    std::mt19937 random(20261210);
    const size_t checks = static_cast<size_t>(minutes * 60 / 2) + 100;
    ScriptedLineServer pop(PopScripts(checks, random));
    ScriptedLineServer nntp(NntpScripts(checks, random));
    const int ports[] = {pop.Port(), nntp.Port()};
    if (::write(toProgram, ports, sizeof ports) != sizeof ports) return 1;
    int identPort = 0;
    if (::read(fromProgram, &identPort, sizeof identPort) != sizeof identPort) return 1;
    std::vector<std::thread> askers;
    for (unsigned i = 0; i < 2; ++i)
        askers.emplace_back(AskIdent, identPort, 1413 + i, std::ref(counts));
    for (auto& t : askers) t.join();
    // The program side has closed its windows before setting stop.
    pop.Stop();
    nntp.Stop();
    return 0;
}

// ---- the program side ---------------------------------------------------------------------

struct Resources {
    long rssKb = 0;
    int threads = 0;
    int descriptors = 0;
};

Resources OwnResources() {
    Resources r;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) r.rssKb = std::atol(line.c_str() + 6);
        if (line.rfind("Threads:", 0) == 0) r.threads = std::atoi(line.c_str() + 8);
    }
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error))
        ++r.descriptors;
    return r;
}

// The event log: counts what the workers report (from their threads too).
class CountingLog final : public kestrel::LogSink {
public:
    void PostLog(std::string_view text) override {
        if (text.starts_with("pop3 socket delete")) ++mailChecks;
        if (text.starts_with("nntp socket delete")) ++newsChecks;
        if (text.starts_with("(socket = ")) ++identReplies;
        ++lines;
    }
    std::atomic<long> mailChecks{0};
    std::atomic<long> newsChecks{0};
    std::atomic<long> identReplies{0};
    std::atomic<long> lines{0};
};

int RunProgram(int argc, char** argv, int fromPeers, int toPeers, double minutes, int everySeconds,
               PeerCounts& counts) {
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    if (!home.isValid()) return 1;
    qputenv("KESTREL_HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    {
        std::ofstream list(kestrel::ProgramFile("newschck.lst"), std::ios::binary);
        for (const char* group : kGroups) list << group << ":100\r\n";
    }
    int ports[2] = {};
    if (::read(fromPeers, ports, sizeof ports) != sizeof ports) return 1;

    // A check every 2 s (mail) and 6 s (news); reply budgets as the program has them.
    kestrel::Timing timing = kestrel::ProgramTiming();
    timing.minuteMs = 2000;
    timing.mailFirstCheckMs = 500;
    timing.newsFirstCheckMs = 700;

    CountingLog log;
    kestrel::bench::ReportCounter frame;
    const kestrel::WorkerContext context{&frame, &log, nullptr};
    auto mail = std::make_unique<kestrel::CPopCheckWnd>(context, nullptr, nullptr, timing);
    auto news = std::make_unique<kestrel::CNewsCheckWnd>(context, nullptr, nullptr, timing);
    auto ident = std::make_unique<kestrel::CIdentificationWnd>(context, nullptr, timing);
    if (!ident->Start(0, "soak") || !mail->Start("127.0.0.1", ports[0], "soak", "secret", 1) ||
        news->InitCheck("127.0.0.1", ports[1], 3) != 1) {
        std::fprintf(stderr, "bench_soak: a worker did not start\n");
        return 1;
    }
    const int identPort = ident->Port();
    if (::write(toPeers, &identPort, sizeof identPort) != sizeof identPort) return 1;

    std::printf("%6s %9s %5s %7s %6s %6s %6s %6s %7s %7s %7s %7s\n", "min", "rss kB", "fds",
                "threads", "mail", "mail+", "news", "news+", "ident", "id-ok", "id-bad", "id-idle");
    const auto start = Clock::now();
    auto print = [&] {
        const Resources r = OwnResources();
        const double at = std::chrono::duration<double>(Clock::now() - start).count() / 60;
        std::printf("%6.1f %9ld %5d %7d %6ld %6ld %6ld %6ld %7ld %7ld %7ld %7ld\n", at, r.rssKb,
                    r.descriptors, r.threads, log.mailChecks.load(),
                    frame.count(kestrel::WM_UNREAD_MAIL), log.newsChecks.load(),
                    frame.count(kestrel::WM_NEW_NEWS), log.identReplies.load(),
                    counts.identAnswered.load(), counts.identWrong.load(),
                    counts.identSilentClosedByResponder.load());
    };
    print();
    QTimer figures;
    QObject::connect(&figures, &QTimer::timeout, print);
    figures.start(everySeconds * 1000);
    QTimer::singleShot(static_cast<int>(minutes * 60000), &app, &QCoreApplication::quit);
    app.exec();
    // The askers stop first, so none of them meets a responder that is going away.
    counts.stop = true;
    const auto settle = Clock::now() + std::chrono::seconds(6);
    while (Clock::now() < settle) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    print();

    ident.reset();
    mail.reset();
    news.reset();
    QCoreApplication::sendPostedEvents();
    std::printf("after the workers are gone:\n");
    print();
    std::printf(
        "columns: mail/news = checks ended, mail+/news+ = results reported to the frame, "
        "ident = replies sent; id-ok/id-bad = well-formed queries answered right/wrong, "
        "id-idle = silent peers the responder had closed by the time they left\n"
        "well-formed queries closed without reply %ld, timed out %ld; connects refused %ld\n",
        counts.identNoReply.load(), counts.identTimedOut.load(), counts.identRefused.load());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const double minutes = argc > 1 ? std::atof(argv[1]) : 10;
    const int everySeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 60;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    void* shared = ::mmap(nullptr, sizeof(PeerCounts), PROT_READ | PROT_WRITE,
                          MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) return 1;
    auto* counts = new (shared) PeerCounts;

    int toProgram[2];
    int toPeers[2];
    if (::pipe2(toProgram, O_CLOEXEC) != 0 || ::pipe2(toPeers, O_CLOEXEC) != 0) return 1;
    const pid_t peers = ::fork();
    if (peers < 0) return 1;
    if (peers == 0) {
        std::_Exit(RunPeers(toProgram[1], toPeers[0], minutes, *counts));
    }
    const int result =
        RunProgram(argc, argv, toProgram[0], toPeers[1], minutes, everySeconds, *counts);
    counts->stop = true;
    int status = 0;
    ::waitpid(peers, &status, 0);
    return result;
}
