// Wall time of one news check of 60 watched groups (tick to the end of the dialogue, the
// rewrite of the watch list included) against the local real INN of the test harness when
// its servers.env is sourced (KESTREL_IT_NNTP_PORT), else against a scripted NNTP server.
// Replies are read as they arrive, so a check should cost far less than one poll slice per
// reply (60 groups at 50 ms would be 3 s).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "bench/BenchFrame.h"
#include "net/EventLog.h"
#include "news/CNewsCheckWnd.h"
#include "platform/MessageEvent.h"
#include "platform/ProgramDir.h"
#include "platform/Timing.h"
#include "res/Ids.h"
#include "tests/fakes/ScriptedLineServer.h"

namespace {

using kestrel::test::ScriptedLineServer;

constexpr int kGroups = 60;

class EndWatch final : public kestrel::LogSink {
public:
    void PostLog(std::string_view text) override {
        if (text == "nntp socket delete\r\n") ended = true;
    }
    std::atomic<bool> ended{false};
};

std::vector<std::string> GroupNames(bool realServer) {
    std::vector<std::string> names;
    for (int i = 0; i < kGroups; ++i) {
        // The harness's INN carries fj.a and fj.b; each line is one GROUP all the same.
        names.push_back(realServer ? (i % 2 == 0 ? "fj.a" : "fj.b") : "fj.g" + std::to_string(i));
    }
    return names;
}

ScriptedLineServer::Script ScriptFor(const std::vector<std::string>& names) {
    using S = ScriptedLineServer;
    S::Script script = {S::Send("200 bench NNRP server ready (posting ok)\r\n")};
    for (const auto& name : names) {
        script.push_back(S::ExpectLine("group " + name));
        script.push_back(S::Send("211 5 1 5 " + name + "\r\n"));
    }
    script.push_back(S::ExpectLine("quit"));
    script.push_back(S::Send("205 bye\r\n"));
    return script;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;

    QTemporaryDir home;
    if (!home.isValid()) return 1;
    qputenv("KESTREL_HOME", home.path().toLocal8Bit());

    const char* envPort = std::getenv("KESTREL_IT_NNTP_PORT");
    const bool realServer = envPort && *envPort;
    const std::vector<std::string> names = GroupNames(realServer);
    std::unique_ptr<ScriptedLineServer> scripted;
    int port = realServer ? std::atoi(envPort) : 0;
    if (!realServer) {
        scripted = std::make_unique<ScriptedLineServer>(ScriptFor(names));
        if (!scripted->Listening()) {
            std::fprintf(stderr, "no loopback server\n");
            return 1;
        }
        port = scripted->Port();
    }

    // Every group at 0, so each check finds news and rewrites the list.
    std::string list;
    for (const auto& name : names) list += name + ":0\n";
    const std::string path = kestrel::ProgramFile("newschck.lst");

    kestrel::Timing timing;
    timing.newsFirstCheckMs = 0;
    timing.minuteMs = 3600000;  // one check per InitCheck

    kestrel::bench::ReportCounter frame;
    std::vector<double> ms;
    int completed = 0;
    for (int i = 0; i < runs; ++i) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << list;
        EndWatch log;
        kestrel::CNewsCheckWnd wnd(kestrel::WorkerContext{&frame, &log, nullptr}, {}, nullptr,
                                   timing);
        QElapsedTimer clock;
        clock.start();
        if (wnd.InitCheck("127.0.0.1", port, 3) != 1) return 1;
        while (!log.ended && clock.elapsed() < 20000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        if (log.ended) ++completed;
    }
    QCoreApplication::sendPostedEvents();
    std::sort(ms.begin(), ms.end());
    std::printf(
        "bench_news_check (%s, %d groups): %d checks, median %.2f ms, min %.2f ms, "
        "max %.2f ms (goal: under 500 ms)\n",
        realServer ? "real INN" : "scripted server", kGroups, runs, ms[ms.size() / 2], ms.front(),
        ms.back());
    return completed == runs ? 0 : 1;
}
