// Answers per second of the ident responder on loopback: one asking client after another,
// then eight asking at once. Each answer is a whole connection: connect, query, reply, close.
#include <QCoreApplication>
#include <QEventLoop>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ident/CIdentificationWnd.h"
#include "net/EventLog.h"

namespace {

// One query over a fresh blocking connection; true when the expected reply came whole
// before the responder closed.
bool Ask(int port, const std::string& query, const std::string& expected) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    timeval limit{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    std::string reply;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, query.data(), query.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(query.size())) {
        char buffer[512];
        ssize_t n;
        while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0) {
            reply.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return reply == expected;
}

struct Round {
    int answered = 0;
    int failed = 0;
    double seconds = 0;
};

// clients threads each ask perClient times while this thread runs the responder's loop.
Round Run(int port, int clients, int perClient) {
    std::atomic<int> answered{0};
    std::atomic<int> failed{0};
    std::atomic<int> running{clients};
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            for (int i = 0; i < perClient; ++i) {
                const std::string query =
                    std::to_string(40000 + c) + ", " + std::to_string(113 + i % 1000) + "\r\n";
                const std::string expected =
                    query.substr(0, query.size() - 2) + ":USERID:MS-DOS:benchuser\r\n";
                (Ask(port, query, expected) ? answered : failed)++;
            }
            --running;
        });
    }
    while (running.load() > 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    for (auto& t : threads) t.join();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return {answered.load(), failed.load(), elapsed.count()};
}

void Print(const char* name, const Round& r) {
    std::printf("%-24s %6d answers %4d failed %8.3f s %10.0f answers/s\n", name, r.answered,
                r.failed, r.seconds, r.seconds > 0 ? r.answered / r.seconds : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int total = argc > 1 ? std::atoi(argv[1]) : 4000;

    kestrel::NullLogSink log;
    kestrel::CIdentificationWnd wnd(kestrel::WorkerContext{nullptr, &log, nullptr});
    if (!wnd.Start(0, "benchuser")) {
        std::fprintf(stderr, "bench_ident: cannot listen\n");
        return 1;
    }
    std::printf("ident responder on 127.0.0.1:%d\n", wnd.Port());
    Run(wnd.Port(), 1, 100);  // warm-up
    Print("sequential (1 client)", Run(wnd.Port(), 1, total));
    Print("concurrent (8 clients)", Run(wnd.Port(), 8, total / 8));
    return 0;
}
