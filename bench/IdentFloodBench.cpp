// The ident responder under a flood of idle connections, with the descriptor limit of many
// systems: the responder runs in one process with soft and hard limit 1,024; another process
// holds 1,100 silent connections from 127.0.0.2 and meanwhile asks real queries from
// 127.0.0.1. Prints the answer times, the responder's CPU use and descriptors, and how long
// the idle connections live. Figures only; nothing is asserted.
//
//   bench_ident_flood [idle connections = 1100] [flood addresses = 1] [idle time-out s = 30]
//
// With more than one flood address the connections come from 127.0.0.2, 127.0.0.3, ...
#include <QCoreApplication>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ident/CIdentificationWnd.h"
#include "net/EventLog.h"
#include "platform/Timing.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr rlim_t kDescriptorLimit = 1024;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// CPU seconds (user + system) the process has used so far.
double CpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; fields >> field; ++i) {
        if (i == 14) utime = std::stoull(field);
        if (i == 15) {
            stime = std::stoull(field);
            break;
        }
    }
    return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

int OpenDescriptors(pid_t pid) {
    std::error_code error;
    int n = 0;
    for (auto it =
             std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error))
        ++n;
    return n;
}

int Connect(const std::string& from, int port, bool blocking) {
    const int fd =
        ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (blocking ? 0 : SOCK_NONBLOCK), 0);
    if (fd < 0) return -1;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, from.c_str(), &local.sin_addr);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    remote.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        ::close(fd);
        return -1;
    }
    if (blocking) {
        timeval limit{10, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    }
    ::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote);
    return fd;
}

// One query from 127.0.0.1; the seconds until the whole reply and the close came, or -1.
double Ask(int port, int n) {
    const auto start = Clock::now();
    const int fd = Connect("127.0.0.1", port, true);
    if (fd < 0) return -1;
    const std::string query = std::to_string(40000 + n) + ", 113\r\n";
    const std::string expected = query.substr(0, query.size() - 2) + ":USERID:MS-DOS:benchuser\r\n";
    std::string reply;
    if (::send(fd, query.data(), query.size(), MSG_NOSIGNAL) ==
        static_cast<ssize_t>(query.size())) {
        char buffer[512];
        for (ssize_t got; (got = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
            reply.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return reply == expected ? Seconds(Clock::now() - start) : -1;
}

// Idle connections the responder has closed (end of stream or reset seen), of those given.
int ClosedByPeer(const std::vector<int>& fds) {
    std::vector<pollfd> polls;
    for (const int fd : fds) polls.push_back({fd, POLLIN, 0});
    ::poll(polls.data(), polls.size(), 0);
    int closed = 0;
    for (const auto& p : polls) {
        if (!(p.revents & (POLLIN | POLLHUP | POLLERR))) continue;
        char c;
        if (::recv(p.fd, &c, 1, MSG_PEEK | MSG_DONTWAIT) <= 0) ++closed;
    }
    return closed;
}

void Probe(const char* phase, pid_t responder, int port, int queries, int gapMs) {
    std::vector<double> times;
    int failed = 0;
    const double cpuBefore = CpuSeconds(responder);
    const auto start = Clock::now();
    for (int i = 0; i < queries; ++i) {
        const double t = Ask(port, i);
        if (t < 0)
            ++failed;
        else
            times.push_back(t);
        std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
    }
    const double wall = Seconds(Clock::now() - start);
    const double cpu = CpuSeconds(responder) - cpuBefore;
    std::sort(times.begin(), times.end());
    const auto at = [&](double q) {
        return times.empty() ? 0.0 : times[static_cast<size_t>(q * (times.size() - 1))] * 1000;
    };
    std::printf(
        "%-28s %3zu answered %3d failed  answer ms: min %.2f median %.2f max %.2f  "
        "responder CPU %.1f %%  descriptors %d\n",
        phase, times.size(), failed, at(0), at(0.5), at(1), 100 * cpu / wall,
        OpenDescriptors(responder));
}

int Flood(pid_t responder, int port, int count, int addresses, int idleSeconds) {
    std::printf("responder pid %d on 127.0.0.1:%d, descriptor limit %llu, idle time-out %d s\n",
                responder, port, static_cast<unsigned long long>(kDescriptorLimit), idleSeconds);
    Probe("before the flood", responder, port, 20, 50);

    // A few at a time, each connected before the next batch: the listening backlog is small,
    // and a burst of 1,100 connects would mostly wait out the kernel's retries instead.
    std::vector<int> idle;
    const auto floodStart = Clock::now();
    for (int i = 0; i < count;) {
        std::vector<pollfd> batch;
        for (int j = 0; j < 4 && i < count; ++j, ++i) {
            const std::string from = "127.0.0." + std::to_string(2 + i % addresses);
            const int fd = Connect(from, port, false);
            if (fd >= 0) batch.push_back({fd, POLLOUT, 0});
        }
        const auto deadline = Clock::now() + std::chrono::seconds(3);
        for (auto& p : batch) {
            while (!(p.revents & (POLLOUT | POLLERR | POLLHUP)) && Clock::now() < deadline)
                ::poll(&p, 1, 100);
            idle.push_back(p.fd);
        }
        // Connected is not yet accepted: leave the responder time to take them from the
        // backlog, or the kernel drops the next ones and they wait a second for a retry.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const double made = Seconds(Clock::now() - floodStart);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    std::printf(
        "flood: %zu idle connections from %d address(es) made in %.1f s; the responder "
        "has closed %d at once and holds the rest; responder descriptors %d\n",
        idle.size(), addresses, made, ClosedByPeer(idle), OpenDescriptors(responder));

    const double cpuBefore = CpuSeconds(responder);
    std::this_thread::sleep_for(std::chrono::seconds(5));
    std::printf("%-28s responder CPU %.1f %% over 5 s\n", "flood held, no queries",
                100 * (CpuSeconds(responder) - cpuBefore) / 5);
    Probe("flood held, 40 queries", responder, port, 40, 250);

    // Until the idle ones are gone, or well past the time-out.
    int closed = ClosedByPeer(idle);
    while (closed < static_cast<int>(idle.size()) &&
           Clock::now() - floodStart < std::chrono::seconds(idleSeconds + 20)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        closed = ClosedByPeer(idle);
    }
    std::printf(
        "idle connections closed by the responder: %d of %zu, %.1f s after the flood "
        "began; responder descriptors %d\n",
        closed, idle.size(), Seconds(Clock::now() - floodStart), OpenDescriptors(responder));
    Probe("after the time-out", responder, port, 20, 50);
    for (const int fd : idle) ::close(fd);
    return 0;
}

// The responder: the real ident window on its own event loop, until the flood side is done.
int Respond(int argc, char** argv, int idleSeconds, int toFlood, int fromFlood) {
    rlimit limit{kDescriptorLimit, kDescriptorLimit};
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) std::perror("setrlimit");
    kestrel::Timing timing = kestrel::ProgramTiming();
    timing.idleConnectionMs = idleSeconds * 1000;
    QCoreApplication app(argc, argv);
    kestrel::NullLogSink log;
    kestrel::CIdentificationWnd wnd(kestrel::WorkerContext{nullptr, &log, nullptr}, nullptr,
                                    timing);
    if (!wnd.Start(0, "benchuser")) {
        std::fprintf(stderr, "bench_ident_flood: cannot listen\n");
        return 1;
    }
    const int port = wnd.Port();
    if (::write(toFlood, &port, sizeof port) != sizeof port) return 1;
    ::close(toFlood);
    // The flood side closes its end when it is done.
    QSocketNotifier done(fromFlood, QSocketNotifier::Read);
    QObject::connect(&done, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1100;
    const int addresses = std::max(1, argc > 2 ? std::atoi(argv[2]) : 1);
    const int idleSeconds = argc > 3 ? std::atoi(argv[3]) : 30;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    int portPipe[2];
    int donePipe[2];
    if (::pipe2(portPipe, O_CLOEXEC) != 0 || ::pipe2(donePipe, O_CLOEXEC) != 0) return 1;
    const pid_t responder = ::fork();
    if (responder < 0) return 1;
    if (responder == 0) {
        ::close(portPipe[0]);
        ::close(donePipe[1]);
        std::_Exit(Respond(argc, argv, idleSeconds, portPipe[1], donePipe[0]));
    }
    ::close(portPipe[1]);
    ::close(donePipe[0]);
    int port = 0;
    if (::read(portPipe[0], &port, sizeof port) != sizeof port) return 1;
    const int result = Flood(responder, port, count, addresses, idleSeconds);
    ::close(donePipe[1]);
    int status = 0;
    ::waitpid(responder, &status, 0);
    return result;
}
