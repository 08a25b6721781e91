// The IMAP check against the harness's dovecots: the unread count, the IDLE that announces a
// delivery at once, STARTTLS and IMAPS with the harness's CA, and a certificate that does not
// fit, which must stop the check before any log-in reaches dovecot.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>

#include "mail/CImapCheckWnd.h"
#include "mail/ImapVerification.h"
#include "tests/fakes/RecordingMessageBoxes.h"
#include "tests/integration/support/HarnessEnv.h"
#include "tests/integration/support/HarnessMail.h"
#include "tests/mail/MailTestSupport.h"
#include "tests/support/Spin.h"

namespace kestrel {
namespace {

using test::SpinUntil;

std::string FileSince(const std::string& path, std::size_t from) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string all = text.str();
    return from < all.size() ? all.substr(from) : std::string();
}

class ImapAgainstDovecot : public ::testing::Test {
protected:
    static Timing CheckTiming() {
        Timing t;
        t.mailFirstCheckMs = 1;
        t.minuteMs = 3600000;
        return t;
    }
    std::unique_ptr<CImapCheckWnd> Start(const std::string& server, int port,
                                         const std::string& user, const std::string& password,
                                         TlsSettings tls = {}) {
        auto wnd = std::make_unique<CImapCheckWnd>(WorkerContext{&frame, &log, &boxes}, nullptr,
                                                   nullptr, timing);
        wnd->SetSecurity(tls);
        EXPECT_TRUE(wnd->Start(server, port, user, password, 1));
        return wnd;
    }

    Timing timing = CheckTiming();
    test::UnreadReceiver frame;
    test::RecordingLogSink log;
    test::RecordingMessageBoxes boxes;
};

TEST_F(ImapAgainstDovecot, IdleAnnouncesADeliveryWithinSeconds) {
    const std::string maildir = test::harnessEnv("KESTREL_IT_POP3_COUNTED_MAILDIR");
    const std::string user = test::harnessEnv("KESTREL_IT_POP3_COUNTED_USER");
    const std::string password = test::harnessEnv("KESTREL_IT_POP3_COUNTED_PASS");
    const int port = test::harnessPort("KESTREL_IT_IMAP_PORT");
    ASSERT_FALSE(HasFailure()) << "the real-server harness is not running";
    ASSERT_TRUE(test::emptyMaildir(maildir));

    auto wnd = Start("127.0.0.1", port, user, password);
    ASSERT_TRUE(SpinUntil([&] { return !frame.counts.empty(); }, 10000));
    EXPECT_EQ(frame.counts.back(), 0u);
    ASSERT_TRUE(SpinUntil([&] { return log.has("+ idling\r\n"); }, 10000));
    EXPECT_TRUE(wnd->Idling());

    for (std::uint32_t n = 1; n <= 2; ++n) {
        const auto delivered = std::chrono::steady_clock::now();
        ASSERT_TRUE(test::deliverMail(maildir, "IDLE delivery " + std::to_string(n)));
        ASSERT_TRUE(SpinUntil([&] { return frame.counts.back() == n; }, 10000));
        const auto took = std::chrono::steady_clock::now() - delivered;
        EXPECT_LT(took, std::chrono::seconds(3));
        EXPECT_TRUE(wnd->Idling());
    }
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_FALSE(log.mentions(password));
    // One connection all along: quitting ends it at once.
    const auto began = std::chrono::steady_clock::now();
    wnd.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(500));
    EXPECT_TRUE(test::emptyMaildir(maildir));
}

TEST_F(ImapAgainstDovecot, TheCheckCountsOverStartTlsAndOverImaps) {
    const std::string host = test::harnessEnv("KESTREL_IT_POP3_TLS_HOST");
    const std::string ca = test::harnessEnv("KESTREL_IT_POP3_TLS_CA");
    const std::string user = test::harnessEnv("KESTREL_IT_POP3_TLS_USER");
    const std::string password = test::harnessEnv("KESTREL_IT_POP3_TLS_PASS");
    const int startTlsPort = test::harnessPort("KESTREL_IT_IMAP_STARTTLS_PORT");
    const int imapsPort = test::harnessPort("KESTREL_IT_IMAPS_PORT");
    ASSERT_FALSE(HasFailure()) << "the real-server harness is not running";
    const struct {
        int port;
        ChannelSecurity security;
    } roads[] = {{startTlsPort, ChannelSecurity::StartTls},
                 {imapsPort, ChannelSecurity::OnConnect}};
    for (const auto& road : roads) {
        SCOPED_TRACE(road.port);
        log.clear();
        frame.counts.clear();
        auto wnd = Start(host, road.port, user, password, {road.security, ca});
        ASSERT_TRUE(SpinUntil([&] { return !frame.counts.empty(); }, 20000));
        EXPECT_EQ(frame.counts[0], 3u);
        EXPECT_TRUE(boxes.boxes.empty());
        EXPECT_TRUE(log.mentions("TLS ESTABLISHED (TLSv1."));
        EXPECT_EQ(log.mentions(" STARTTLS\r\n"), road.security == ChannelSecurity::StartTls);
        EXPECT_FALSE(log.mentions(password));

        boxes.boxes.clear();
        log.clear();
        EXPECT_TRUE(VerifyImapAccount(WorkerContext{nullptr, &log, &boxes}, timing,
                                      {road.security, ca}, host, road.port, user, password));
        EXPECT_TRUE(boxes.boxes.empty());
    }
}

TEST_F(ImapAgainstDovecot, ACertificateThatDoesNotFitStopsTheCheckBeforeTheLogIn) {
    const std::string wrongHost = test::harnessEnv("KESTREL_IT_POP3_TLS_WRONG_HOST");
    const std::string ca = test::harnessEnv("KESTREL_IT_POP3_TLS_CA");
    const std::string user = test::harnessEnv("KESTREL_IT_POP3_TLS_USER");
    const std::string password = test::harnessEnv("KESTREL_IT_POP3_TLS_PASS");
    const std::string serverLog = test::harnessEnv("KESTREL_IT_POP3_TLS_LOG");
    const int imapsPort = test::harnessPort("KESTREL_IT_IMAPS_PORT");
    ASSERT_FALSE(HasFailure()) << "the real-server harness is not running";

    const std::size_t from = FileSince(serverLog, 0).size();
    auto wnd = Start(wrongHost, imapsPort, user, password, {ChannelSecurity::OnConnect, ca});
    ASSERT_TRUE(SpinUntil([&] { return boxes.boxes.size() == 1; }, 20000));
    EXPECT_NE(boxes.boxes[0].textUtf8().find("別のホスト名"), std::string::npos);
    EXPECT_TRUE(frame.counts.empty());
    EXPECT_FALSE(log.mentions("LOGIN"));
    // dovecot logs the session once it sees the connection go, a moment after the check gave
    // it up.
    std::string seen;
    SpinUntil(
        [&] {
            seen = FileSince(serverLog, from);
            return test::dovecotLogsNoLogIn(seen);
        },
        5000);
    EXPECT_TRUE(test::dovecotLogsNoLogIn(seen)) << seen;
    EXPECT_EQ(seen.find("user=<" + user + ">"), std::string::npos) << seen;
    EXPECT_EQ(seen.find("Login:"), std::string::npos) << seen;
}

}  // namespace
}  // namespace kestrel
