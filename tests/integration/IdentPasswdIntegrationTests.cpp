// The ident responder asked by Perl's Net::Ident, and the password change against Debian's
// poppassd, both as black-box peers on loopback.
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <string>

#include "ident/CIdentificationWnd.h"
#include "mail/CPasswdChangeWnd.h"
#include "res/Cp932.h"
#include "tests/fakes/RecordingMessageBoxes.h"
#include "tests/integration/support/HarnessEnv.h"
#include "tests/mail/MailTestSupport.h"
#include "tests/support/Spin.h"

namespace kestrel::test {
namespace {

TEST(IdentWithNetIdent, TheAskingServerLearnsTheLoggedInUser) {
    RecordingLogSink log;
    CIdentificationWnd wnd(WorkerContext{nullptr, &log, nullptr});
    ASSERT_TRUE(wnd.Start(0, "kestreluser"));

    for (int round = 0; round < 2; ++round) {
        QProcess perl;
        // tests/fakes/asking_ident_server.pl asks who owns a connection to itself.
        perl.start(QStringLiteral("perl"),
                   {QStringLiteral(ASKING_IDENT_SERVER), QString::number(wnd.Port())});
        // The responder answers on this thread's loop, so the loop spins while Perl asks.
        ASSERT_TRUE(SpinUntil([&] { return perl.state() == QProcess::NotRunning; }, 60000));
        const std::string out = perl.readAllStandardOutput().toStdString();
        EXPECT_EQ(out, "kestreluser|MS-DOS\n") << out << perl.readAllStandardError().toStdString();
    }
    EXPECT_TRUE(SpinUntil([&] { return wnd.OpenConnections() == 0; }));
    EXPECT_TRUE(log.mentions(":USERID:MS-DOS:kestreluser\r\n"));
}

class PoppassdTest : public ::testing::Test {
protected:
    void SetUp() override {
        host = harnessEnv("KESTREL_IT_POPPASSD_HOST");
        port = harnessPort("KESTREL_IT_POPPASSD_PORT");
        user = harnessEnv("KESTREL_IT_POPPASSD_USER");
        password = harnessEnv("KESTREL_IT_POPPASSD_PASS");
    }
    bool Change(const std::string& current, const std::string& next) {
        CPasswdChangeWnd wnd(WorkerContext{nullptr, &log, &boxes});
        return wnd.ExecChange(host, port, user, current, next);
    }

    std::string host, user, password;
    int port = 0;
    RecordingLogSink log;
    RecordingMessageBoxes boxes;
};

TEST_F(PoppassdTest, AChangeTakesEffectAndCanBeUndoneWithTheNewPassword) {
    ASSERT_FALSE(HasFailure());
    const std::string changed = password + "-x7";
    ASSERT_TRUE(Change(password, changed));
    EXPECT_TRUE(boxes.boxes.empty());
    // Only the new password opens the way back; this also leaves the harness as it was.
    ASSERT_TRUE(Change(changed, password));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_FALSE(log.mentions(changed));
    EXPECT_FALSE(log.mentions(password));
    EXPECT_TRUE(log.has("newpass ********\r\n"));
}

TEST_F(PoppassdTest, AWrongCurrentPasswordIsRefused) {
    ASSERT_FALSE(HasFailure());
    EXPECT_FALSE(Change("not-the-password", password + "-y3"));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].textUtf8(), "パスワードが不正です\r\n");
    EXPECT_FALSE(log.has("newpass ********\r\n"));
}

}  // namespace
}  // namespace kestrel::test
