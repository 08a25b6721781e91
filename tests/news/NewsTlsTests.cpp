#include <QCoreApplication>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "news/CNewsCheckWnd.h"
#include "res/Cp932.h"
#include "tests/fakes/RecordingMessageBoxes.h"
#include "tests/fakes/ScriptedTlsServer.h"
#include "tests/fakes/TlsTestKit.h"
#include "tests/news/NewsTestSupport.h"
#include "tests/support/Spin.h"

namespace kestrel {
namespace {

using test::ScriptedTlsServer;
using test::SpinUntil;
using test::TlsTestCertificates;
using T = ScriptedTlsServer;
using Strings = std::vector<std::string>;

const char kCapabilities[] = "101 Capability list:\r\nVERSION 2\r\nREADER\r\nSTARTTLS\r\n.\r\n";

class NewsTlsTest : public ::testing::Test {
protected:
    void TearDown() override { ::unlink(list.c_str()); }

    std::unique_ptr<CNewsCheckWnd> Run(const ScriptedTlsServer& server, ChannelSecurity security) {
        test::WriteFile(list, "fj.a:100\n");
        log.clear();
        auto wnd = std::make_unique<CNewsCheckWnd>(WorkerContext{&frame, &log, &boxes}, nullptr,
                                                   nullptr, timing);
        wnd->SetSecurity({security, TlsTestCertificates::Get().pki->CaFile()});
        EXPECT_EQ(wnd->InitCheck("127.0.0.1", server.Port(), 3), 1);
        EXPECT_TRUE(SpinUntil([&] { return log.has("Newscheck Start!!\r\n"); }));
        EXPECT_TRUE(SpinUntil([&] { return !wnd->Busy(); }));
        QCoreApplication::sendPostedEvents();
        return wnd;
    }

    Timing timing = test::NewsTiming();
    test::NewsFrame frame;
    test::RecordingLogSink log;
    test::RecordingMessageBoxes boxes;
    std::string list = test::WatchListPath();
};

TEST_F(NewsTlsTest, TheNewsCheckAsksItsGroupsOverStartTlsAndOverItsOwnTlsPort) {
    const auto& good = TlsTestCertificates::Get().good;
    // Reader mode is asked for inside TLS, after the upgrade.
    const T::Script groups = {T::ExpectLine("mode reader"), T::Send("200 Reader mode\r\n"),
                              T::ExpectLine("group fj.a"), T::Send("211 10 20 120 fj.a\r\n"),
                              T::ExpectLine("quit")};
    for (ChannelSecurity security : {ChannelSecurity::StartTls, ChannelSecurity::OnConnect}) {
        SCOPED_TRACE(static_cast<int>(security));
        frame.reports.clear();
        T::Script script;
        if (security == ChannelSecurity::OnConnect) script.push_back(T::StartTls());
        script.push_back(T::Send("200 news.example ready\r\n"));
        if (security == ChannelSecurity::StartTls) {
            script.insert(script.end(),
                          {T::ExpectLine("capabilities"), T::Send(kCapabilities),
                           T::ExpectLine("starttls"), T::Send("382 Continue\r\n"), T::StartTls()});
        }
        script.insert(script.end(), groups.begin(), groups.end());
        ScriptedTlsServer server(script, good.certFile, good.keyFile);
        auto wnd = Run(server, security);
        EXPECT_EQ(frame.reports, Strings{"fj.a "});
        EXPECT_EQ(server.Handshakes(), 1u);
        EXPECT_EQ(server.Wire().find("group"), std::string::npos);
        EXPECT_TRUE(boxes.boxes.empty());
        // The protocol and cipher, logged once the channel is secured, before reader mode.
        const Strings lines = log.Texts();
        const auto tls = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
            return line.starts_with("TLS ESTABLISHED (TLSv1.");
        });
        ASSERT_NE(tls, lines.end());
        EXPECT_LT(tls, std::find(lines.begin(), lines.end(), "mode reader\r\n"));
    }
}

TEST_F(NewsTlsTest, ANewsServerWithoutStartTlsIsAskedNothingInClear) {
    const auto& good = TlsTestCertificates::Get().good;
    ScriptedTlsServer server(
        {T::Send("200 news.example ready\r\n"), T::ExpectLine("capabilities"),
         T::Send("101 Capability list:\r\nVERSION 2\r\nREADER\r\n.\r\n"), T::ExpectLine("group")},
        good.certFile, good.keyFile);
    auto wnd = Run(server, ChannelSecurity::StartTls);
    EXPECT_TRUE(SpinUntil([&] { return !boxes.boxes.empty(); }));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes.front().captionUtf8(), "ニュース監視エラー");
    EXPECT_NE(boxes.boxes.front().textUtf8().find("NNTPサーバ 127.0.0.1"), std::string::npos);
    EXPECT_TRUE(frame.reports.empty());
    wnd.reset();
    server.Stop();
    EXPECT_EQ(server.Lines(), Strings{"capabilities"});
    // The watch list is left as it was.
    EXPECT_EQ(test::ReadFile(list), "fj.a:100\n");
}

}  // namespace
}  // namespace kestrel
