// One mail check against the harness's TLS dovecot, in clear, over STLS and over POP3S, each
// beside `fetchmail --check` on the same mailbox in the same run: median wall times and their
// ratio (goal: 1.0 or less). Needs the harness's servers.env in the environment.
// Usage: bench_mail_tls [runs]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>

#include "bench/BenchFrame.h"
#include "mail/CPopCheckWnd.h"
#include "net/EventLog.h"
#include "platform/MessageEvent.h"
#include "platform/Timing.h"
#include "res/Ids.h"

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

double Median(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return ms.empty() ? 0 : ms[ms.size() / 2];
}

struct Road {
    const char* name;
    std::string host;
    int port;
    kestrel::ChannelSecurity security;
    std::string fetchmailOptions;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const std::string host = Env("KESTREL_IT_POP3_TLS_HOST");
    const std::string ca = Env("KESTREL_IT_POP3_TLS_CA");
    const std::string user = Env("KESTREL_IT_POP3_TLS_USER");
    const std::string pass = Env("KESTREL_IT_POP3_TLS_PASS");
    const int clearPort = std::atoi(Env("KESTREL_IT_POP3_TLS_CLEAR_PORT").c_str());
    const int stlsPort = std::atoi(Env("KESTREL_IT_POP3_STLS_PORT").c_str());
    const int tlsPort = std::atoi(Env("KESTREL_IT_POP3S_PORT").c_str());
    if (host.empty() || ca.empty() || !clearPort || !stlsPort || !tlsPort) {
        std::fprintf(stderr, "bench_mail_tls: source the harness's servers.env first\n");
        return 2;
    }

    kestrel::Timing timing = kestrel::ProgramTiming();
    timing.mailFirstCheckMs = 0;
    timing.minuteMs = 3600000;  // one check per Start

    QTemporaryDir home;
    const std::string certCheck = " sslcertck sslcertfile \"" + ca + "\"";
    const Road roads[] = {
        {"clear", "127.0.0.1", clearPort, kestrel::ChannelSecurity::None, " sslproto ''"},
        {"STLS", host, stlsPort, kestrel::ChannelSecurity::StartTls,
         " sslproto tls1.2+" + certCheck},
        {"POP3S", host, tlsPort, kestrel::ChannelSecurity::OnConnect, " ssl" + certCheck},
    };

    kestrel::NullLogSink log;
    kestrel::bench::ReportCounter frame;
    bool allOk = true;
    std::printf("bench_mail_tls: %d checks per road, median wall time per check\n", runs);
    std::printf("%-6s %12s %20s %8s\n", "road", "kestrel ms", "fetchmail --check ms", "ratio");
    for (const Road& road : roads) {
        std::vector<double> ours;
        for (int i = 0; i < runs; ++i) {
            kestrel::CPopCheckWnd wnd(kestrel::WorkerContext{&frame, &log, nullptr}, nullptr,
                                      nullptr, timing);
            wnd.SetSecurity({road.security, ca});
            const long before = frame.count(kestrel::WM_UNREAD_MAIL);
            QElapsedTimer clock;
            clock.start();
            wnd.Start(road.host, road.port, user, pass, 1);
            while (frame.count(kestrel::WM_UNREAD_MAIL) == before && clock.elapsed() < 20000) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            }
            allOk = allOk && frame.count(kestrel::WM_UNREAD_MAIL) != before;
            ours.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        }

        const std::string rc = home.path().toStdString() + "/fetchmailrc-" + road.name;
        std::ofstream(rc) << "poll " << road.host << " service " << road.port
                          << " protocol pop3 user \"" << user << "\" password \"" << pass << "\""
                          << road.fetchmailOptions << "\n";
        ::chmod(rc.c_str(), 0600);
        std::vector<double> theirs;
        for (int i = 0; i < runs; ++i) {
            QProcess fetchmail;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("HOME"), home.path());
            fetchmail.setProcessEnvironment(env);
            QElapsedTimer clock;
            clock.start();
            fetchmail.start(QStringLiteral("fetchmail"),
                            {QStringLiteral("-f"), QString::fromStdString(rc),
                             QStringLiteral("--check"), QStringLiteral("--nosyslog"),
                             QStringLiteral("--idfile"), home.filePath(QStringLiteral("ids"))});
            const bool done = fetchmail.waitForFinished(20000);
            theirs.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
            // 0: mail waiting, 1: none; anything else is a failed check.
            allOk = allOk && done && fetchmail.exitCode() <= 1;
        }
        const double a = Median(ours);
        const double b = Median(theirs);
        std::printf("%-6s %12.2f %20.2f %8.2f\n", road.name, a, b, b > 0 ? a / b : 0.0);
    }
    return allOk ? 0 : 1;
}
