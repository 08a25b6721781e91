// The log-in check and the password change run on the user-interface thread; what they wait
// for before the first reply (the host-name look-up, the TLS handshake) must leave the windows
// served, as the reply waits do.
#include <QCoreApplication>
#include <QObject>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "mail/CAuthenticationWnd.h"
#include "mail/CPasswdChangeWnd.h"
#include "tests/fakes/RecordingMessageBoxes.h"
#include "tests/fakes/ScriptedLineServer.h"
#include "tests/mail/MailTestSupport.h"
#include "tests/support/HeldResolver.h"
#include "tests/support/PrivateNetwork.h"

namespace kestrel {
namespace {

using test::ScriptedLineServer;
using S = ScriptedLineServer;

// The server's name is known only to a name server that answers when this thread lets it,
// from an event posted when the query comes: the log-in and the password change get through
// only when the thread is served while the name is looked up (held, the look-up would fail
// after the resolver's time-out).
TEST(ServedConnect, TheWindowsAreServedWhileTheServerNameIsLookedUp) {
    test::PrivateNetwork network(test::PrivateNetwork::Shape::LoopbackOnly);
    ASSERT_TRUE(network.Ok()) << test::PrivateNetwork::kWhy;
    const std::string host = "pop.kestrel-test.invalid";

    const struct {
        const char* what;
        ScriptedLineServer::Script script;
        std::function<bool(WorkerContext, int port)> run;
    } windows[] = {
        {"log-in",
         {S::Send("+OK POP3 ready\r\n"), S::ExpectLine("user alice"), S::Send("+OK\r\n"),
          S::ExpectLine("pass pw"), S::Send("+OK welcome\r\n"), S::ExpectLine("quit"), S::Close()},
         [&](WorkerContext context, int port) {
             return CAuthenticationWnd(context, nullptr, test::FastTiming())
                 .Verify(host, port, "alice", "pw");
         }},
        {"password change",
         {S::Send("200 hello\r\n"), S::ExpectLine("user alice"), S::Send("300 ok\r\n"),
          S::ExpectLine("pass old"), S::Send("200 ok\r\n"), S::ExpectLine("newpass new"),
          S::Send("200 changed\r\n"), S::ExpectLine("quit"), S::Close()},
         [&](WorkerContext context, int port) {
             return CPasswdChangeWnd(context, nullptr, test::FastTiming())
                 .ExecChange(host, port, "alice", "old", "new");
         }},
    };
    for (const auto& window : windows) {
        SCOPED_TRACE(window.what);
        // A name server of each row's own, so that no answer let out late reaches the next.
        QObject context;
        test::HeldResolver* answering = nullptr;
        test::HeldResolver resolver([&] {
            QMetaObject::invokeMethod(
                &context, [&] { answering->Release(); }, Qt::QueuedConnection);
        });
        answering = &resolver;
        ASSERT_TRUE(resolver.Ok()) << "no mount namespace of its own for the name server: "
                                      "this test needs root";
        ScriptedLineServer server(window.script);
        test::RecordingLogSink log;
        test::RecordingMessageBoxes boxes;
        EXPECT_TRUE(window.run(WorkerContext{nullptr, &log, &boxes}, server.Port()))
            << "the look-up held the user-interface thread";
        EXPECT_GT(resolver.Answers(), 0);
        EXPECT_TRUE(boxes.boxes.empty());
        EXPECT_EQ(server.Mismatches(), 0u);
    }
}

// A server that sits on the log-in's TLS handshake, as POP3S or after STLS: it lets go only
// on a timer tick of this thread during the handshake, so the log-in ends at once (the server
// drops the connection) only when the thread is served while the handshake waits.
TEST(ServedConnect, TheWindowsAreServedDuringTheLogInsTlsHandshake) {
    const struct {
        const char* what;
        ChannelSecurity security;
        ScriptedLineServer::Script script;
    } roads[] = {
        {"POP3S", ChannelSecurity::OnConnect, {S::Hold(), S::Close()}},
        {"STLS",
         ChannelSecurity::StartTls,
         {S::Send("+OK POP3 ready\r\n"), S::ExpectLine("capa"), S::Hold(), S::Close()}},
    };
    for (const auto& road : roads) {
        SCOPED_TRACE(road.what);
        Timing timing = test::FastTiming();
        timing.pollSliceMs = 20;  // a budget of 2 s, room for the tick on a busy machine
        ScriptedLineServer server(road.script);
        test::ReleaseOnTick ticks(server, 1);
        test::RecordingLogSink log;
        test::RecordingMessageBoxes boxes;
        CAuthenticationWnd wnd(WorkerContext{nullptr, &log, &boxes}, nullptr, timing);
        wnd.SetSecurity({road.security, ""});
        EXPECT_FALSE(wnd.Verify("127.0.0.1", server.Port(), "alice", "pw"));
        EXPECT_EQ(ticks.Released(), 1u) << "the handshake held the user-interface thread";
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_NE(boxes.boxes[0].textUtf8().find("暗号化通信ができません"), std::string::npos);
        EXPECT_FALSE(log.has("user alice\r\n"));
    }
}

}  // namespace
}  // namespace kestrel
