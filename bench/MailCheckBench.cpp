// Wall time of whole mail checks (tick to count at the frame) against a local scripted POP3
// server. The replies are read as they arrive, so a check should cost far less than one poll
// slice per reply.
#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "bench/BenchFrame.h"
#include "mail/CPopCheckWnd.h"
#include "net/EventLog.h"
#include "platform/MessageEvent.h"
#include "platform/Timing.h"
#include "res/Ids.h"
#include "tests/fakes/ScriptedLineServer.h"

namespace {

using kestrel::test::ScriptedLineServer;

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;

    using S = ScriptedLineServer;
    ScriptedLineServer server({S::Send("+OK POP3 ready\r\n"), S::ExpectLine("user"),
                               S::Send("+OK\r\n"), S::ExpectLine("pass"),
                               S::Send("+OK bench has 12 messages (4096 octets)\r\n"),
                               S::ExpectLine("last"), S::Send("+OK 4\r\n"), S::ExpectLine("quit"),
                               S::Send("+OK bye\r\n"), S::Close()});
    if (!server.Listening()) {
        std::fprintf(stderr, "no loopback server\n");
        return 1;
    }

    kestrel::Timing timing;
    timing.mailFirstCheckMs = 0;
    timing.minuteMs = 3600000;  // one check per Start

    kestrel::NullLogSink log;
    kestrel::bench::ReportCounter frame;
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        kestrel::CPopCheckWnd wnd(kestrel::WorkerContext{&frame, &log, nullptr}, {}, nullptr,
                                  timing);
        const long before = frame.count(kestrel::WM_UNREAD_MAIL);
        QElapsedTimer clock;
        clock.start();
        wnd.Start("127.0.0.1", server.Port(), "bench", "secret", 1);
        while (frame.count(kestrel::WM_UNREAD_MAIL) == before && clock.elapsed() < 10000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("bench_mail_check: %d checks, median %.2f ms, min %.2f ms, max %.2f ms\n", runs,
                ms[ms.size() / 2], ms.front(), ms.back());
    return frame.count(kestrel::WM_UNREAD_MAIL) == runs ? 0 : 1;
}
