// The mail check and the log-in against the harness's TLS-only dovecot: STLS on a server that
// refuses plain log-ins outside TLS, POP3S on its own port, and a certificate that does not
// fit, which must stop the check before the account goes out.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "mail/CAuthenticationWnd.h"
#include "mail/CPopCheckWnd.h"
#include "tests/fakes/RecordingMessageBoxes.h"
#include "tests/integration/support/HarnessEnv.h"
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
    MailTlsAgainstDovecot() : m_timing(CheckTiming()) {}
    void SetUp() override {
        host = test::harnessEnv("KESTREL_IT_POP3_TLS_HOST");
        wrongHost = test::harnessEnv("KESTREL_IT_POP3_TLS_WRONG_HOST");
        stlsPort = test::harnessPort("KESTREL_IT_POP3_STLS_PORT");
        tlsPort = test::harnessPort("KESTREL_IT_POP3S_PORT");
        ca = test::harnessEnv("KESTREL_IT_POP3_TLS_CA");
        user = test::harnessEnv("KESTREL_IT_POP3_TLS_USER");
        password = test::harnessEnv("KESTREL_IT_POP3_TLS_PASS");
        ASSERT_FALSE(HasFailure()) << "the real-server harness is not running";
    }

    void Check(const std::string& server, int port, TlsSettings tls) {
        log.clear();
        frame.counts.clear();
        CPopCheckWnd wnd(WorkerContext{&frame, &log, &boxes});
        wnd.SetSecurity(tls);
        ASSERT_TRUE(wnd.Start(server, port, user, password, 1));
        ASSERT_TRUE(SpinUntil([&] { return log.has("pop3 socket connecting\r\n"); }, 10000));
        ASSERT_TRUE(SpinUntil([&] { return !wnd.Busy(); }, 20000));
        QCoreApplication::sendPostedEvents();
        SpinUntil([&] { return !boxes.boxes.empty(); }, 200);
    }
    void ExpectAccountNeverSent() {
        EXPECT_FALSE(log.has("user " + user + "\r\n"));
        EXPECT_FALSE(log.has("pass ********\r\n"));
        EXPECT_TRUE(frame.counts.empty());
    }

    test::ScopedTiming m_timing;
    std::string host, wrongHost, ca, user, password;
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
    Check(wrongHost, tlsPort, {ChannelSecurity::OnConnect, ca});
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_NE(boxes.boxes[0].textUtf8().find("別のホスト名"), std::string::npos);
    ExpectAccountNeverSent();

    // STLS without the test CA: only the system's store, which does not know it.
    boxes.boxes.clear();
    Check(host, stlsPort, {ChannelSecurity::StartTls, ""});
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_NE(boxes.boxes[0].textUtf8().find("信頼できません"), std::string::npos);
    ExpectAccountNeverSent();
}

TEST_F(MailTlsAgainstDovecot, TheLogInIsVerifiedOverStls) {
    CAuthenticationWnd wnd(WorkerContext{nullptr, &log, &boxes});
    wnd.SetSecurity({ChannelSecurity::StartTls, ca});
    EXPECT_TRUE(wnd.Verify(host, stlsPort, user, password));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(log.has("stls\r\n"));
}

}  // namespace
}  // namespace kestrel
