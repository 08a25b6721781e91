#include <QCoreApplication>

#include <gtest/gtest.h>

#include <algorithm>

#include <memory>
#include <string>
#include <vector>

#include "mail/CAuthenticationWnd.h"
#include "mail/CPopCheckWnd.h"
#include "res/Cp932.h"
#include "res/Ids.h"
#include "tests/fakes/RecordingMessageBoxes.h"
#include "tests/fakes/ScriptedTlsServer.h"
#include "tests/fakes/TlsTestKit.h"
#include "tests/mail/MailTestSupport.h"
#include "tests/support/Spin.h"

namespace kestrel {
namespace {

using test::ScriptedTlsServer;
using test::SpinUntil;
using test::TestCertificates;
using test::TlsTestCertificates;
using T = ScriptedTlsServer;
using Strings = std::vector<std::string>;

const char kCapa[] = "+OK\r\nTOP\r\nUSER\r\nSTLS\r\nUIDL\r\n.\r\n";

// Greeting, the upgrade as asked, then a classic log-in with LAST.
T::Script Pop(ChannelSecurity security) {
    T::Script script;
    if (security == ChannelSecurity::OnConnect) script.push_back(T::StartTls());
    script.push_back(T::Send("+OK POP3 ready\r\n"));
    if (security == ChannelSecurity::StartTls) {
        script.insert(script.end(), {T::ExpectLine("capa"), T::Send(kCapa), T::ExpectLine("stls"),
                                     T::Send("+OK Begin TLS negotiation\r\n"), T::StartTls()});
    }
    script.insert(script.end(),
                  {T::ExpectLine("user"), T::Send("+OK\r\n"), T::ExpectLine("pass"),
                   T::Send("+OK alice has 3 messages (1234 octets)\r\n"), T::ExpectLine("last"),
                   T::Send("+OK 1\r\n"), T::ExpectLine("quit")});
    return script;
}

bool Mentions(const std::string& text, const char* word) {
    return text.find(word) != std::string::npos;
}

class PopTlsTest : public ::testing::Test {
protected:
    std::unique_ptr<CPopCheckWnd> Start(const ScriptedTlsServer& server, ChannelSecurity security,
                                        const char* host = "127.0.0.1") {
        auto wnd = std::make_unique<CPopCheckWnd>(WorkerContext{&frame, &log, &boxes}, nullptr,
                                                  nullptr, timing);
        wnd->SetSecurity({security, TlsTestCertificates::Get().pki->CaFile()});
        EXPECT_TRUE(wnd->Start(host, server.Port(), "alice", "s3cret", 1));
        EXPECT_TRUE(SpinUntil([&] { return log.has("pop3 socket connecting\r\n"); }));
        WaitCheck(*wnd);
        return wnd;
    }
    void WaitCheck(CPopCheckWnd& wnd) {
        EXPECT_TRUE(SpinUntil([&] { return !wnd.Busy(); }));
        QCoreApplication::sendPostedEvents();
    }
    // Nothing of the account ever went to the server, neither in clear nor inside TLS.
    static void ExpectNoAccountSent(const ScriptedTlsServer& server) {
        for (const auto& line : server.Lines()) {
            EXPECT_FALSE(line.starts_with("user") || line.starts_with("pass")) << line;
        }
        EXPECT_FALSE(Mentions(server.Wire(), "alice"));
        EXPECT_FALSE(Mentions(server.Wire(), "s3cret"));
    }

    Timing timing = test::FastTiming();
    test::UnreadReceiver frame;
    test::RecordingLogSink log;
    test::RecordingMessageBoxes boxes;
};

TEST_F(PopTlsTest, TheCheckCountsOverStlsAndOverItsOwnTlsPort) {
    const auto& good = TlsTestCertificates::Get().good;
    for (ChannelSecurity security : {ChannelSecurity::StartTls, ChannelSecurity::OnConnect}) {
        SCOPED_TRACE(static_cast<int>(security));
        log.clear();
        frame.counts.clear();
        ScriptedTlsServer server(Pop(security), good.certFile, good.keyFile);
        auto wnd = Start(server, security);
        EXPECT_EQ(frame.counts, std::vector<std::uint32_t>{2});
        ASSERT_TRUE(server.WaitForLines(security == ChannelSecurity::StartTls ? 6 : 4, 5000));
        const Strings account = {"user alice", "pass s3cret", "last", "quit"};
        Strings expected = account;
        if (security == ChannelSecurity::StartTls)
            expected.insert(expected.begin(), {"capa", "stls"});
        EXPECT_EQ(server.Lines(), expected);
        EXPECT_EQ(server.Mismatches(), 0u);
        EXPECT_EQ(server.Handshakes(), 1u);
        EXPECT_FALSE(Mentions(server.Wire(), "alice"));
        EXPECT_FALSE(Mentions(server.Wire(), "s3cret"));
        EXPECT_TRUE(boxes.boxes.empty());
        // The event log still never holds the password.
        EXPECT_FALSE(log.mentions("s3cret"));
        if (security == ChannelSecurity::StartTls) {
            EXPECT_TRUE(log.has("capa\r\n"));
            EXPECT_TRUE(log.has("stls\r\n"));
        }
        // The protocol and cipher, logged once the channel is secured, before the account.
        const Strings lines = log.Texts();
        const auto at = [&](const std::string& line) {
            return std::find(lines.begin(), lines.end(), line) - lines.begin();
        };
        const auto tls = std::find_if(lines.begin(), lines.end(),
                                      [](const std::string& line) {
                                          return line.starts_with("TLS ESTABLISHED (TLSv1.");
                                      }) -
                         lines.begin();
        ASSERT_LT(tls, static_cast<long>(lines.size()));
        EXPECT_TRUE(lines[tls].ends_with(")\r\n")) << lines[tls];
        EXPECT_LT(tls, at("user alice\r\n"));
        if (security == ChannelSecurity::StartTls) {
            EXPECT_GT(tls, at("stls\r\n"));
        }
    }
}

struct FailureCase {
    const char* name;
    TestCertificates::Issued TlsTestCertificates::*cert;
    ChannelSecurity security;
    T::Script script;
    const char* reasonUtf8;
};

TEST_F(PopTlsTest, ACheckThatCannotBeSecuredSendsNoAccountAndSaysWhyOnce) {
    using C = TlsTestCertificates;
    const FailureCase cases[] = {
        {"wrong host", &C::otherHost, ChannelSecurity::OnConnect, Pop(ChannelSecurity::OnConnect),
         "別のホスト名"},
        {"expired", &C::expired, ChannelSecurity::StartTls, Pop(ChannelSecurity::StartTls),
         "有効期限"},
        {"self-signed", &C::selfSigned, ChannelSecurity::StartTls, Pop(ChannelSecurity::StartTls),
         "信頼できません"},
        {"dropped in the handshake",
         &C::good,
         ChannelSecurity::OnConnect,
         {T::DropInHandshake()},
         "ハンドシェイク"},
        {"STLS not offered",
         &C::good,
         ChannelSecurity::StartTls,
         {T::Send("+OK POP3 ready\r\n"), T::ExpectLine("capa"),
          T::Send("+OK\r\nUSER\r\nUIDL\r\n.\r\n"), T::ExpectLine("user"), T::Send("+OK\r\n"),
          T::ExpectLine("pass")},
         "対応していません"},
        {"STLS refused",
         &C::good,
         ChannelSecurity::StartTls,
         {T::Send("+OK POP3 ready\r\n"), T::ExpectLine("capa"), T::Send(kCapa),
          T::ExpectLine("stls"), T::Send("-ERR [SYS/TEMP] TLS unavailable\r\n"),
          T::ExpectLine("user"), T::Send("+OK\r\n"), T::ExpectLine("pass")},
         "対応していません"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        frame.counts.clear();
        boxes.boxes.clear();
        const auto& cert = TlsTestCertificates::Get().*c.cert;
        ScriptedTlsServer server(c.script, cert.certFile, cert.keyFile);
        auto wnd = Start(server, c.security);
        EXPECT_TRUE(SpinUntil([&] { return !boxes.boxes.empty(); }));
        ASSERT_EQ(boxes.boxes.size(), 1u);
        const auto& box = boxes.boxes.front();
        EXPECT_EQ(box.captionUtf8(), "メール監視エラー");
        EXPECT_TRUE(Mentions(box.textUtf8(), "127.0.0.1")) << box.textUtf8();
        EXPECT_TRUE(Mentions(box.textUtf8(), c.reasonUtf8)) << box.textUtf8();
        EXPECT_TRUE(frame.counts.empty());
        EXPECT_TRUE(log.has("pop3 socket delete\r\n"));

        // The next check fails the same way: logged again, but no second box.
        wnd->OnTimer(TIMER_MAIL_CHECK);
        WaitCheck(*wnd);
        test::SpinFor(50);
        EXPECT_EQ(boxes.boxes.size(), 1u);
        long failures = 0;
        long secured = 0;
        for (const auto& t : log.Texts()) {
            failures += t.starts_with("TLS ERROR (") ? 1 : 0;
            secured += t.starts_with("TLS ESTABLISHED (") ? 1 : 0;
        }
        EXPECT_EQ(failures, 2);
        EXPECT_EQ(secured, 0);

        wnd.reset();
        server.Stop();
        ExpectNoAccountSent(server);
    }
}

TEST_F(PopTlsTest, TheLogInIsVerifiedOverTlsAndRefusedWithABoxWhenTheCertificateIsWrong) {
    const auto& certs = TlsTestCertificates::Get();
    {
        ScriptedTlsServer server(
            {T::Send("+OK ready\r\n"), T::ExpectLine("capa"), T::Send(kCapa), T::ExpectLine("stls"),
             T::Send("+OK\r\n"), T::StartTls(), T::ExpectLine("user"), T::Send("+OK\r\n"),
             T::ExpectLine("pass"), T::Send("+OK Logged in.\r\n"), T::ExpectLine("quit"),
             T::Send("+OK bye\r\n")},
            certs.good.certFile, certs.good.keyFile);
        CAuthenticationWnd wnd(WorkerContext{&frame, &log, &boxes}, nullptr, timing);
        wnd.SetSecurity({ChannelSecurity::StartTls, certs.pki->CaFile()});
        EXPECT_TRUE(wnd.Verify("127.0.0.1", server.Port(), "alice", "s3cret"));
        EXPECT_TRUE(boxes.boxes.empty());
        server.Stop();
        EXPECT_EQ(server.Lines(), (Strings{"capa", "stls", "user alice", "pass s3cret", "quit"}));
        EXPECT_FALSE(Mentions(server.Wire(), "s3cret"));
    }
    {
        ScriptedTlsServer server({T::StartTls(), T::Send("+OK ready\r\n"), T::ExpectLine("user")},
                                 certs.otherHost.certFile, certs.otherHost.keyFile);
        CAuthenticationWnd wnd(WorkerContext{&frame, &log, &boxes}, nullptr, timing);
        wnd.SetSecurity({ChannelSecurity::OnConnect, certs.pki->CaFile()});
        EXPECT_FALSE(wnd.Verify("127.0.0.1", server.Port(), "alice", "s3cret"));
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes.front().captionUtf8(), "認証失敗");
        EXPECT_TRUE(Mentions(boxes.boxes.front().textUtf8(), "別のホスト名"));
        server.Stop();
        ExpectNoAccountSent(server);
    }
}

}  // namespace
}  // namespace kestrel
