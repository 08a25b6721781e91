// The mail check and the log-in against the harness's TLS-only dovecot: STLS on a server that
// refuses plain log-ins outside TLS, POP3S on its own port, and a certificate that does not
// fit, which must stop the check before the account goes out.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "mail/CAuthenticationWnd.h"
#include "mail/CPopCheckWnd.h"
#include "tests/fakes/RecordingMessageBoxes.h"
#include "tests/integration/support/HarnessEnv.h"
#include "tests/integration/support/HarnessMail.h"
#include "tests/mail/MailTestSupport.h"
#include "tests/support/Spin.h"

namespace kestrel {
namespace {

using test::SpinUntil;

class MailTlsAgainstDovecot : public ::testing::Test {
protected:
    // The described reply budgets (a real handshake must fit them), the first check at once.
    static Timing CheckTiming() {
        Timing t;
        t.mailFirstCheckMs = 1;
        t.minuteMs = 3600000;
        return t;
    }
    void SetUp() override {
        host = test::harnessEnv("KESTREL_IT_POP3_TLS_HOST");
        wrongHost = test::harnessEnv("KESTREL_IT_POP3_TLS_WRONG_HOST");
        stlsPort = test::harnessPort("KESTREL_IT_POP3_STLS_PORT");
        tlsPort = test::harnessPort("KESTREL_IT_POP3S_PORT");
        ca = test::harnessEnv("KESTREL_IT_POP3_TLS_CA");
        user = test::harnessEnv("KESTREL_IT_POP3_TLS_USER");
        password = test::harnessEnv("KESTREL_IT_POP3_TLS_PASS");
        serverLog = test::harnessEnv("KESTREL_IT_POP3_TLS_LOG");
        ASSERT_FALSE(HasFailure()) << "the real-server harness is not running";
    }

    void Check(const std::string& server, int port, TlsSettings tls) {
        log.clear();
        frame.counts.clear();
        CPopCheckWnd wnd(WorkerContext{&frame, &log, &boxes}, nullptr, nullptr, timing);
        wnd.SetSecurity(tls);
        ASSERT_TRUE(wnd.Start(server, port, user, password, 1));
        ASSERT_TRUE(SpinUntil([&] { return log.has("pop3 socket connecting\r\n"); }, 10000));
        ASSERT_TRUE(SpinUntil([&] { return !wnd.Busy(); }, 20000));
        QCoreApplication::sendPostedEvents();
        SpinUntil([&] { return !boxes.boxes.empty(); }, 200);
    }
    // dovecot's own log from the given length on.
    std::string ServerLogSince(std::size_t length) const {
        std::ifstream in(serverLog, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        const std::string all = text.str();
        return length < all.size() ? all.substr(length) : std::string();
    }
    std::size_t ServerLogLength() const { return ServerLogSince(0).size(); }
    // Neither the event log nor dovecot saw the account: dovecot names the user of every
    // log-in attempt and complains of a plain one outside TLS.
    void ExpectAccountNeverSent(std::size_t serverLogFrom) {
        EXPECT_FALSE(log.has("user " + user + "\r\n"));
        EXPECT_FALSE(log.has("pass ********\r\n"));
        EXPECT_TRUE(frame.counts.empty());
        // dovecot logs the session when it sees the connection close, a moment after the
        // check has given it up.
        std::string seen;
        SpinUntil(
            [&] {
                seen = ServerLogSince(serverLogFrom);
                return test::dovecotLogsNoLogIn(seen);
            },
            5000);
        EXPECT_TRUE(test::dovecotLogsNoLogIn(seen)) << seen;
        EXPECT_EQ(seen.find("user=<" + user + ">"), std::string::npos) << seen;
        EXPECT_EQ(seen.find("plaintext"), std::string::npos) << seen;
    }

    Timing timing = CheckTiming();
    std::string host, wrongHost, ca, user, password, serverLog;
    int stlsPort = 0;
    int tlsPort = 0;
    test::UnreadReceiver frame;
    test::RecordingLogSink log;
    test::RecordingMessageBoxes boxes;
};

TEST_F(MailTlsAgainstDovecot, TheCheckLogsInOverStlsAndOverPop3s) {
    const struct {
        int port;
        ChannelSecurity security;
    } roads[] = {{stlsPort, ChannelSecurity::StartTls}, {tlsPort, ChannelSecurity::OnConnect}};
    for (const auto& road : roads) {
        SCOPED_TRACE(road.port);
        Check(host, road.port, {road.security, ca});
        EXPECT_TRUE(boxes.boxes.empty());
        EXPECT_TRUE(log.has("user " + user + "\r\n"));
        EXPECT_TRUE(log.has("+OK Logged in.\r\n"));
        EXPECT_EQ(frame.counts.size(), 1u);
        EXPECT_FALSE(log.mentions(password));
    }
}

TEST_F(MailTlsAgainstDovecot, ACertificateThatDoesNotFitStopsTheCheckWithABox) {
    // POP3S by the other address: the certificate is for 127.0.0.2 only.
    std::size_t from = ServerLogLength();
    Check(wrongHost, tlsPort, {ChannelSecurity::OnConnect, ca});
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_NE(boxes.boxes[0].textUtf8().find("別のホスト名"), std::string::npos);
    ExpectAccountNeverSent(from);

    // STLS without the test CA: only the system's store, which does not know it.
    boxes.boxes.clear();
    from = ServerLogLength();
    Check(host, stlsPort, {ChannelSecurity::StartTls, ""});
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_NE(boxes.boxes[0].textUtf8().find("信頼できません"), std::string::npos);
    ExpectAccountNeverSent(from);
}

TEST_F(MailTlsAgainstDovecot, TheLogInIsVerifiedOverStls) {
    CAuthenticationWnd wnd(WorkerContext{nullptr, &log, &boxes}, nullptr, timing);
    wnd.SetSecurity({ChannelSecurity::StartTls, ca});
    EXPECT_TRUE(wnd.Verify(host, stlsPort, user, password));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(log.has("stls\r\n"));
    // dovecot as Debian ships it offers TLS 1.2 and 1.3 only.
    const auto lines = log.Texts();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.starts_with("TLS ESTABLISHED (TLSv1.2 ") ||
                                       line.starts_with("TLS ESTABLISHED (TLSv1.3 ");
                            }),
              1);
}

}  // namespace
}  // namespace kestrel
