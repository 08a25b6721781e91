// The peer chat against Debian's iptux as a black-box peer: iptux in a namespace of its own
// across a veth pair, under its own X server and session bus. Skips where iptux, Xvfb or
// dbus-run-session are missing.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <fstream>
#include <sstream>

#include "tests/chat/PeerChatTestKit.h"

namespace kestrel {
namespace {

using test::PrivateNetwork;
using test::SpinFor;
using test::SpinUntil;

class IptuxTest : public test::PeerChatTest {
protected:
    void SetUp() override {
        for (const char* tool : {"/usr/bin/iptux", "/usr/bin/Xvfb", "/usr/bin/dbus-run-session"})
            if (!QFile::exists(QString::fromLatin1(tool)))
                GTEST_SKIP() << tool << " is not installed";
        if (!network.ok()) GTEST_SKIP() << "needs root and ip to make network namespaces";
        CopyField(identity.nickname, "Taro");
        CopyField(identity.userName, "taro");
        CopyField(identity.hostName, "PC01");
        timing = Timing{}.Scaled(1.0);
        timing.exitPauseMs = 200;
        ASSERT_TRUE(home.isValid());
        QDir(home.path()).mkpath(QStringLiteral(".iptux"));
        std::ofstream(home.filePath(QStringLiteral(".iptux/config.json")).toStdString())
            << R"({"nick_name": "Iptux", "belong_group": "test", "candidacy_encode": "cp932",)"
            << R"( "preference_encode": "cp932"})";
        const QString log = home.filePath(QStringLiteral("iptux.log"));
        const QString script =
            QStringLiteral(
                "export HOME=%1; Xvfb :%2 -nolisten tcp >/dev/null 2>&1 & X=$!; sleep 1; "
                "DISPLAY=:%2 dbus-run-session -- iptux -l DEBUG >%3 2>&1; kill $X")
                .arg(home.path(), QString::number(display), log);
        iptux.start(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("exec"),
                                           QString::fromStdString(network.PeerName()),
                                           QStringLiteral("sh"), QStringLiteral("-c"), script});
        ASSERT_TRUE(iptux.waitForStarted());
        logPath = log.toStdString();
    }
    void TearDown() override {
        if (iptux.state() != QProcess::NotRunning) {
            // The process group is the shell's: iptux, its bus and the X server end with it.
            QProcess::execute(
                QStringLiteral("sh"),
                {QStringLiteral("-c"), QStringLiteral("kill $(ip netns pids %1) 2>/dev/null")
                                           .arg(QString::fromStdString(network.PeerName()))});
            iptux.waitForFinished(5000);
        }
    }
    std::string Log() const {
        std::ifstream in(logPath);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }

    QTemporaryDir home;
    QProcess iptux;
    std::string logPath;
    int display = 90 + (::getpid() % 50);
};

TEST_F(IptuxTest, ListsIptuxAndExchangesAcknowledgedMessages) {
    std::unique_ptr<CPeerChat> chat;
    // iptux needs a moment to bind its port; until then our entry goes unheard, and a
    // refresh asks again.
    for (int attempt = 0; attempt < 20; ++attempt) {
        SpinFor(500);
        if (!chat) {
            chat = Make();
            ASSERT_TRUE(chat->Start());
        } else {
            chat->Refresh();
        }
        if (SpinUntil([&] { return chat->Members().Find(PrivateNetwork::kPeerAddress); }, 1000))
            break;
    }
    const MemberRecord* member = chat->Members().Find(PrivateNetwork::kPeerAddress);
    ASSERT_NE(member, nullptr) << Log();
    EXPECT_EQ(FieldText(member->nickname), "Iptux");
    EXPECT_EQ(member->port, 2425);
    // iptux enters away (option 0x100) and answers no version query.
    EXPECT_EQ(member->present, 0);
    EXPECT_EQ(FieldText(member->whereabouts), "");
    // iptux heard us: our entry, or our answer to its own entry when it came up after ours
    // (its log shows every packet).
    const std::string heard = Log();
    EXPECT_TRUE(heard.find(":taro:PC01:1:Taro") != std::string::npos ||
                heard.find(":taro:PC01:3:Taro") != std::string::npos)
        << heard;

    SocketEvent target;
    CopyField(target.peerAddress, PrivateNetwork::kPeerAddress);
    target.peerPort = 2425;
    PostMessage(chat.get(), WM_CHAT_SEND, 0, 0, own(target), own(MakeChatText("hello iptux")));
    ASSERT_TRUE(SpinUntil([&] { return chat->AwaitingAcknowledgement(); }, 1000));
    ASSERT_TRUE(SpinUntil([&] { return !chat->AwaitingAcknowledgement(); }, 2900))
        << "no acknowledgement";
    EXPECT_TRUE(boxes.boxes.empty());
    SpinFor(300);
    EXPECT_NE(Log().find("hello iptux"), std::string::npos) << Log();

    // Our exit: iptux hears it and drops us.
    chat.reset();
    SpinFor(500);
    EXPECT_NE(Log().find(":2:Taro"), std::string::npos) << Log();
}

}  // namespace
}  // namespace kestrel
