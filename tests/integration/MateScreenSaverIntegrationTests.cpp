// The real MATE screen saver on a session bus and an X display of the test's own (Xvfb),
// driven by its own command-line tool, watched and closed through DbusScreenSaver. Fails where
// Xvfb or mate-screensaver is missing: scripts/setup.sh installs both, and CI runs them.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

#include "desktop/DbusScreenSaver.h"
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
        for (const char* tool : {"Xvfb", "mate-screensaver", "mate-screensaver-command"})
            ASSERT_TRUE(Installed(tool))
                << tool << " is not installed (scripts/setup.sh installs it)";
        ASSERT_TRUE(m_home.isValid());

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
        // The saver's settings, caches and runtime files live below a HOME of this run's own:
        // nothing a user or an earlier run set (an idle delay, a lock) reaches it.
        const QString home = m_home.path();
        ASSERT_TRUE(QDir(home).mkpath(QStringLiteral("runtime")));
        QFile::setPermissions(home + QStringLiteral("/runtime"), QFileDevice::ReadOwner |
                                                                     QFileDevice::WriteOwner |
                                                                     QFileDevice::ExeOwner);
        m_env.insert(QStringLiteral("HOME"), home);
        m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
        m_env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
        m_env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
        m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/runtime"));
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
    // The saver takes a request in and acts on it on its own time: the tool's word is waited
    // for, not read once the instant the request went out.
    bool ToolSays(bool active) {
        return SpinUntil([&] { return ToolSaysActive() == active; }, 10000);
    }

    // The view polls once a second; here a poll every 50 ms, up to 100 of them.
    static bool PollsUntil(DbusScreenSaver& saver, bool want) {
        for (int poll = 0; poll < 100; ++poll) {
            if (saver.IsActive() == want) return true;
            SpinFor(50);
        }
        return saver.IsActive() == want;
    }

    QTemporaryDir m_home;
    QProcess m_x;
    QProcess m_saver;
    QProcessEnvironment m_env;
};

TEST_F(MateScreenSaver, ActivationIsSeenAndCloseEndsIt) {
    DbusScreenSaver saver;
    ASSERT_TRUE(SpinUntil(
        [&] { return saver.CurrentService() == QStringLiteral("org.mate.ScreenSaver"); }, 30000))
        << "mate-screensaver never took its name on the bus";
    ASSERT_FALSE(ToolSaysActive());
    // Idle: several polls in a row, all inactive.
    for (int poll = 0; poll < 5; ++poll) {
        EXPECT_FALSE(saver.IsActive());
        SpinFor(50);
    }

    Command("--activate");
    ASSERT_TRUE(ToolSays(true));
    EXPECT_TRUE(PollsUntil(saver, true));

    Command("--deactivate");
    ASSERT_TRUE(ToolSays(false));
    EXPECT_TRUE(PollsUntil(saver, false));

    // Running again, then closed from the program's side, as on a return to the desk.
    Command("--activate");
    ASSERT_TRUE(ToolSays(true));
    ASSERT_TRUE(PollsUntil(saver, true));
    saver.Close();
    EXPECT_TRUE(ToolSays(false));
    EXPECT_TRUE(PollsUntil(saver, false));
    EXPECT_NE(Command("--query").find("is inactive"), std::string::npos);
}

[[maybe_unused]] ::testing::Environment* const kBus =
    ::testing::AddGlobalTestEnvironment(new PrivateSessionBus);

}  // namespace
}  // namespace kestrel::test
