// The real MATE screen saver on a session bus and an X display of the test's own (Xvfb),
// driven by its own command-line tool, watched and closed through DbusScreenSaver.
#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QStringList>

#include <gtest/gtest.h>

#include <string>

#include "platform/DbusScreenSaver.h"
#include "tests/fakes/PrivateSessionBus.h"
#include "tests/support/Spin.h"

namespace kestrel::test {
namespace {

bool Installed(const char* program) {
    return !QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty();
}

void Stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning) return;
    process.terminate();
    if (!process.waitForFinished(5000)) process.kill();
    process.waitForFinished(5000);
}

class MateScreenSaver : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Installed("Xvfb") || !Installed("mate-screensaver"))
            GTEST_SKIP() << "needs Xvfb and mate-screensaver (scripts/setup.sh installs them)";

        // Xvfb picks a free display itself and writes its number on the descriptor given.
        m_x.setProgram(QStringLiteral("Xvfb"));
        m_x.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"),
                          QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                          QStringLiteral("-screen"), QStringLiteral("0"),
                          QStringLiteral("640x480x24")});
        m_x.start();
        ASSERT_TRUE(m_x.waitForStarted(10000)) << "Xvfb did not start";
        QByteArray number;
        while (!number.contains('\n') && m_x.waitForReadyRead(10000))
            number += m_x.readAllStandardOutput();
        number = number.trimmed();
        ASSERT_FALSE(number.isEmpty()) << "Xvfb gave no display number";

        m_env = QProcessEnvironment::systemEnvironment();  // holds the private bus's address
        m_env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":") + QString::fromLatin1(number));
        m_saver.setProcessEnvironment(m_env);
        m_saver.setProgram(QStringLiteral("mate-screensaver"));
        m_saver.setArguments({QStringLiteral("--no-daemon")});
        m_saver.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_saver.start();
        ASSERT_TRUE(m_saver.waitForStarted(10000)) << "mate-screensaver did not start";
    }

    void TearDown() override {
        Stop(m_saver);
        Stop(m_x);
    }

    // mate-screensaver-command with the test's display and bus; its standard output.
    std::string Command(const char* option) {
        QProcess tool;
        tool.setProcessEnvironment(m_env);
        tool.start(QStringLiteral("mate-screensaver-command"), {QString::fromLatin1(option)});
        if (!tool.waitForFinished(10000)) {
            Stop(tool);
            return "(no answer)";
        }
        EXPECT_EQ(tool.exitCode(), 0) << option;
        return tool.readAllStandardOutput().toStdString();
    }
    bool ToolSaysActive() { return Command("--query").find("is active") != std::string::npos; }

    // The view polls once a second; here a poll every 50 ms, up to 100 of them.
    static bool PollsUntil(DbusScreenSaver& saver, bool want) {
        for (int poll = 0; poll < 100; ++poll) {
            if (saver.IsActive() == want) return true;
            SpinFor(50);
        }
        return saver.IsActive() == want;
    }

    QProcess m_x;
    QProcess m_saver;
    QProcessEnvironment m_env;
};

TEST_F(MateScreenSaver, ActivationIsSeenAndCloseEndsIt) {
    DbusScreenSaver saver;
    ASSERT_TRUE(SpinUntil(
        [&] { return saver.CurrentService() == QStringLiteral("org.mate.ScreenSaver"); }, 15000))
        << "mate-screensaver never took its name on the bus";
    ASSERT_FALSE(ToolSaysActive());
    // Idle: several polls in a row, all inactive.
    for (int poll = 0; poll < 5; ++poll) {
        EXPECT_FALSE(saver.IsActive());
        SpinFor(50);
    }

    Command("--activate");
    ASSERT_TRUE(ToolSaysActive());
    EXPECT_TRUE(PollsUntil(saver, true));

    Command("--deactivate");
    ASSERT_FALSE(ToolSaysActive());
    EXPECT_TRUE(PollsUntil(saver, false));

    // Running again, then closed from the program's side, as on a return to the desk.
    Command("--activate");
    ASSERT_TRUE(ToolSaysActive());
    ASSERT_TRUE(PollsUntil(saver, true));
    saver.Close();
    EXPECT_TRUE(SpinUntil([&] { return !ToolSaysActive(); }, 5000));
    EXPECT_TRUE(PollsUntil(saver, false));
    EXPECT_NE(Command("--query").find("is inactive"), std::string::npos);
}

[[maybe_unused]] ::testing::Environment* const kBus =
    ::testing::AddGlobalTestEnvironment(new PrivateSessionBus);

}  // namespace
}  // namespace kestrel::test
