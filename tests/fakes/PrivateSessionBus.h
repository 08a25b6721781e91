#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace kestrel::test {

// A dbus-daemon of the test's own, made the session bus of this process (and of every
// program it starts) before anything touches QDBusConnection::sessionBus(). Register it as a
// global environment: it must be up before the first test and gone after the last.
class PrivateSessionBus final : public ::testing::Environment {
public:
    void SetUp() override {
        m_daemon.setProgram(QStringLiteral("dbus-daemon"));
        m_daemon.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"),
                               QStringLiteral("--nopidfile"), QStringLiteral("--print-address"),
                               QStringLiteral("--address=unix:tmpdir=/tmp")});
        m_daemon.start();
        ASSERT_TRUE(m_daemon.waitForStarted(10000)) << "dbus-daemon did not start";
        QByteArray line;
        while (!line.contains('\n') && m_daemon.waitForReadyRead(10000))
            line += m_daemon.readAllStandardOutput();
        line = line.trimmed();
        ASSERT_FALSE(line.isEmpty()) << "dbus-daemon printed no address";
        m_address = line.toStdString();
        setenv("DBUS_SESSION_BUS_ADDRESS", m_address.c_str(), 1);
    }

    void TearDown() override {
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.terminate();
            if (!m_daemon.waitForFinished(5000)) m_daemon.kill();
            m_daemon.waitForFinished(5000);
        }
    }

    const std::string& Address() const { return m_address; }

private:
    QProcess m_daemon;
    std::string m_address;
};

}  // namespace kestrel::test
