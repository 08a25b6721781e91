#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>

#include <csignal>
#include <string>
#include <vector>

#include <sys/types.h>

#include "tests/support/Spin.h"

namespace kestrel::test {

// The test's view of a fake_reader program (tests/fakes/FakeReaderMain.cpp): its command
// line, and what it recorded in its log file. A test may run it itself (Start) or let the
// program under test start it from the command line; either way Stop ends it by the pid it
// logged.
class FakeReader {
public:
    FakeReader(QString program, QString service, QString topic, QString logPath)
        : m_program(std::move(program)),
          m_service(std::move(service)),
          m_topic(std::move(topic)),
          m_log(std::move(logPath)) {}
    ~FakeReader() { Stop(); }

    void SetReply(const QByteArray& bytes) {
        m_extra << QStringLiteral("--reply") << QString::fromLatin1(bytes.toHex());
    }
    void SetStallMs(int ms) { m_extra << QStringLiteral("--stall-ms") << QString::number(ms); }

    QStringList Arguments() const {
        return QStringList{QStringLiteral("--service"), m_service,
                           QStringLiteral("--topic"),   m_topic,
                           QStringLiteral("--log"),     m_log} +
               m_extra;
    }
    // The command line as a setting holds it (the paths here carry no blanks).
    std::string CommandLine() const {
        return (QStringList{m_program} + Arguments()).join(QLatin1Char(' ')).toStdString();
    }

    // Run it and wait until it owns its name.
    bool Start() {
        if (!QProcess::startDetached(m_program, Arguments())) return false;
        return WaitReady();
    }
    bool WaitReady(int timeoutMs = 10000) {
        return SpinUntil([this] { return Lines("ready").size() == 1; }, timeoutMs) && OwnsName();
    }
    // The same without running the event loop, so bus notices stay undelivered meanwhile.
    bool StartQuietly() {
        return QProcess::startDetached(m_program, Arguments()) && WaitOwnership(true);
    }
    void KillQuietly() {
        Kill();
        WaitOwnership(false);
    }
    bool WaitOwnership(bool owned, int timeoutMs = 10000) const {
        for (int waited = 0; OwnsName() != owned; waited += 10) {
            if (waited > timeoutMs) return false;
            QThread::msleep(10);
        }
        return true;
    }
    bool OwnsName() const {
        return QDBusConnection::sessionBus().interface()->isServiceRegistered(
            QStringLiteral("dde.") + m_service);
    }
    // End the program and wait until its name is free.
    void Stop() {
        Kill();
        SpinUntil([this] { return !OwnsName(); }, 10000);
    }
    void Kill() {
        for (const QByteArray& pid : Lines("pid")) {
            const pid_t p = static_cast<pid_t>(pid.toLongLong());
            if (p > 0 && !m_stopped.contains(pid)) {
                ::kill(p, SIGTERM);
                m_stopped << pid;
            }
        }
    }

    // Records of one kind, oldest first: the text after "<kind> ", hex decoded for
    // execute/request.
    std::vector<QByteArray> Lines(const char* kind) const {
        std::vector<QByteArray> out;
        QFile f(m_log);
        if (!f.open(QIODevice::ReadOnly)) return out;
        const QByteArray prefix = QByteArray(kind) + ' ';
        for (const QByteArray& line : f.readAll().split('\n')) {
            if (line == kind)
                out.push_back({});
            else if (line.startsWith(prefix))
                out.push_back(line.mid(prefix.size()));
        }
        return out;
    }
    std::vector<std::string> Executes() const { return Decoded("execute"); }
    std::vector<std::string> Requests() const { return Decoded("request"); }
    int Starts() const { return static_cast<int>(Lines("pid").size()); }

private:
    std::vector<std::string> Decoded(const char* kind) const {
        std::vector<std::string> out;
        for (const QByteArray& hex : Lines(kind))
            out.push_back(QByteArray::fromHex(hex).toStdString());
        return out;
    }

    QString m_program, m_service, m_topic, m_log;
    QStringList m_extra;
    QList<QByteArray> m_stopped;
};

}  // namespace kestrel::test
