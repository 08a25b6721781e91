// The saved password against a real gnome-keyring-daemon on a private session bus, against a
// keyring that does not answer and against a bus without one. Each suite needs the process's
// session bus to itself; ctest runs them one process each.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "desktop/KeychainVault.h"
#include "platform/QtText.h"
#include "settings/PasswordScrambler.h"
#include "settings/SavedPassword.h"
#include "settings/SettingsStore.h"
#include "tests/settings/SettingsTestSupport.h"
#include "tests/support/Spin.h"

namespace kestrel {
namespace {

using namespace Qt::Literals::StringLiterals;
using Outcome = PasswordVault::Outcome;

constexpr int kTimeoutMs = 1500;
const QString kSecrets = u"org.freedesktop.secrets"_s;

// A session bus of the test's own that starts nothing on demand, so only the peers the test
// starts itself are on it.
class PrivateBus {
public:
    // Empty when the bus is up, else what went wrong.
    std::string Start() {
        if (!m_dir.isValid()) return "no temporary directory";
        QFile conf(m_dir.filePath(u"bus.conf"_s));
        if (!conf.open(QIODevice::WriteOnly)) return "cannot write the bus configuration";
        conf.write(
            R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)");
        conf.close();
        m_daemon.start(u"dbus-daemon"_s, {u"--config-file="_s + conf.fileName(), u"--nofork"_s,
                                          u"--nopidfile"_s, u"--print-address"_s});
        if (!m_daemon.waitForStarted(10000)) return "dbus-daemon did not start";
        QByteArray line;
        while (!line.contains('\n') && m_daemon.waitForReadyRead(10000))
            line += m_daemon.readAllStandardOutput();
        if (line.trimmed().isEmpty())
            return "dbus-daemon printed no address: " +
                   m_daemon.readAllStandardError().toStdString();
        qputenv("DBUS_SESSION_BUS_ADDRESS", line.trimmed());
        // The keyring's files and sockets stay inside the test's directory.
        qputenv("XDG_DATA_HOME", m_dir.filePath(u"data"_s).toLocal8Bit());
        QDir(m_dir.path()).mkpath(u"run"_s);
        QFile::setPermissions(m_dir.filePath(u"run"_s),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", m_dir.filePath(u"run"_s).toLocal8Bit());
        if (!QDBusConnection::sessionBus().isConnected()) return "the bus is not reachable";
        return {};
    }

    // gnome-keyring-daemon with its secrets component, its login keyring made or unlocked
    // with the test password.
    bool StartKeyring() {
        m_keyring.start(u"gnome-keyring-daemon"_s,
                        {u"--foreground"_s, u"--unlock"_s, u"--components=secrets"_s});
        if (!m_keyring.waitForStarted(10000)) return false;
        m_keyring.write("testpw");
        m_keyring.closeWriteChannel();
        return Owned(10000);
    }

    // A peer that takes the keyring's name and never answers.
    bool StartSilentKeyring() {
        // Debian's own interpreter, where python3-dbus is.
        m_keyring.start(u"/usr/bin/python3"_s, {u"-c"_s,
                                                u"import dbus, time\n"
                                                "bus = dbus.SessionBus()\n"
                                                "bus.request_name('org.freedesktop.secrets')\n"
                                                "print('owned', flush=True)\n"
                                                "time.sleep(120)\n"_s});
        return m_keyring.waitForStarted(10000) && Owned(10000);
    }

    static bool Owned(int deadlineMs) {
        return test::SpinUntil(
            [] { return QDBusConnection::sessionBus().interface()->isServiceRegistered(kSecrets); },
            deadlineMs);
    }

    ~PrivateBus() {
        for (QProcess* p : {&m_keyring, &m_daemon}) {
            if (p->state() == QProcess::NotRunning) continue;
            p->terminate();
            if (!p->waitForFinished(5000)) p->kill();
            p->waitForFinished(5000);
        }
    }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QProcess m_keyring;
};

// Every suite here owns the process's bus; a second one in the same process is skipped.
std::unique_ptr<PrivateBus>& Bus() {
    static std::unique_ptr<PrivateBus> bus;
    return bus;
}

// Empty when this suite now owns a started private bus; otherwise why it does not. A bus that
// will not start (no dbus-daemon) is a failure: scripts/setup.sh installs it.
std::string TakeBus() {
    Bus() = std::make_unique<PrivateBus>();
    return Bus()->Start();
}

// The event loop keeps running while a request waits: a timer of 100 ms keeps firing.
struct LoopWatch {
    LoopWatch() {
        timer.setInterval(100);
        QObject::connect(&timer, &QTimer::timeout, [this] { ++ticks; });
        timer.start();
    }
    QTimer timer;
    int ticks = 0;
};

class KeyringTest : public ::testing::Test {
protected:
    void SetUp() override { test::ClearSettingsFile(); }
    std::string FileValue() { return store.GetString(key::Password, "<absent>"); }
    static std::string Scrambled(std::string plain) {
        std::string out;
        EncodePassword(PasswordDirection::Scramble, plain, out);
        return out;
    }
    SavedPassword Saved(PasswordVault& vault) {
        return SavedPassword(store, &vault,
                             [this](std::string_view line) { log.emplace_back(line); });
    }

    SettingsStore store;
    std::vector<std::string> log;
};

class RealKeyring : public KeyringTest {
protected:
    static void SetUpTestSuite() {
        if (Bus())
            GTEST_SKIP() << "the session bus belongs to another suite; ctest runs each alone";
        const std::string why = TakeBus();
        ASSERT_TRUE(why.empty()) << why;
        ASSERT_TRUE(Bus()->StartKeyring()) << "gnome-keyring-daemon did not come up";
    }
};

TEST_F(RealKeyring, ItemsAreWrittenReadAndRemovedPerAccount) {
    KeychainVault vault(kTimeoutMs);
    const std::string japanese = test::Sj("秘密のパス");
    std::string got;
    EXPECT_EQ(vault.Read("taro@pop.example", got), Outcome::NotFound);
    ASSERT_EQ(vault.Write("taro@pop.example", japanese), Outcome::Done)
        << vault.LastError().toStdString();
    ASSERT_EQ(vault.Write("taro@pop2.example", "other"), Outcome::Done);
    ASSERT_EQ(vault.Read("taro@pop.example", got), Outcome::Done);
    EXPECT_EQ(got, japanese);
    ASSERT_EQ(vault.Write("taro@pop.example", "changed"), Outcome::Done);
    ASSERT_EQ(vault.Read("taro@pop.example", got), Outcome::Done);
    EXPECT_EQ(got, "changed");
    EXPECT_EQ(vault.Remove("taro@pop.example"), Outcome::Done);
    EXPECT_EQ(vault.Read("taro@pop.example", got), Outcome::NotFound);
    ASSERT_EQ(vault.Read("taro@pop2.example", got), Outcome::Done);
    EXPECT_EQ(got, "other");
}

TEST_F(RealKeyring, TheFilesPasswordMovesToTheKeyringAndALockedKeyringFallsBackToTheFile) {
    KeychainVault vault(kTimeoutMs);
    store.Write(key::Password, Scrambled("filepw"));
    store.Flush();
    SavedPassword saved = Saved(vault);
    std::string got;
    EXPECT_FALSE(saved.FromKeyring("hanako", "pop.example", got));
    EXPECT_EQ(saved.FromFile(), "filepw");
    saved.Keep("hanako", "pop.example", "filepw", true);
    EXPECT_EQ(FileValue(), "<absent>");
    EXPECT_EQ(test::FileText(store.FilePath()).find("Password"), std::string::npos);
    ASSERT_TRUE(saved.FromKeyring("hanako", "pop.example", got));
    EXPECT_EQ(got, "filepw");
    EXPECT_TRUE(log.empty());

    // Locked, with no prompter to unlock it: the log-in goes on without it, in time.
    // A bare call: a QDBusInterface would introspect the service and keep Qt's meta-object
    // for it to the end of the process, which the leak checker reports.
    QDBusMessage lock = QDBusMessage::createMethodCall(
        kSecrets, u"/org/freedesktop/secrets"_s, u"org.freedesktop.Secret.Service"_s, u"Lock"_s);
    lock << QVariant::fromValue(
        QList<QDBusObjectPath>{QDBusObjectPath(u"/org/freedesktop/secrets/collection/login"_s)});
    const QDBusMessage locked = QDBusConnection::sessionBus().call(lock);
    ASSERT_NE(locked.type(), QDBusMessage::ErrorMessage) << locked.errorMessage().toStdString();

    LoopWatch watch;
    QElapsedTimer clock;
    clock.start();
    saved.Keep("hanako", "pop.example", "newpw", true);
    EXPECT_LT(clock.elapsed(), kTimeoutMs + 2000);
    EXPECT_EQ(FileValue(), Scrambled("newpw"));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].find("pw"), std::string::npos) << log[0];
    clock.restart();
    got.clear();
    saved.FromKeyring("hanako", "pop.example", got);
    EXPECT_LT(clock.elapsed(), kTimeoutMs + 2000);
    EXPECT_NE(got, "filepw");
    EXPECT_EQ(log.size(), 1u);
}

class SilentKeyring : public KeyringTest {
protected:
    static void SetUpTestSuite() {
        if (Bus())
            GTEST_SKIP() << "the session bus belongs to another suite; ctest runs each alone";
        const std::string why = TakeBus();
        ASSERT_TRUE(why.empty()) << why;
        ASSERT_TRUE(Bus()->StartSilentKeyring()) << "the silent keyring did not come up";
    }
};

TEST_F(SilentKeyring, ARequestGivesUpAfterItsTimeWithTheEventsServedAndTheFileTakesOver) {
    KeychainVault vault(kTimeoutMs);
    SavedPassword saved = Saved(vault);
    LoopWatch watch;
    QElapsedTimer clock;
    clock.start();
    std::string got;
    EXPECT_FALSE(saved.FromKeyring("taro", "pop.example", got));
    const qint64 waited = clock.elapsed();
    EXPECT_GE(waited, kTimeoutMs - 100);
    EXPECT_LT(waited, kTimeoutMs + 2000);
    EXPECT_GE(watch.ticks, 5);
    EXPECT_FALSE(vault.LastError().isEmpty());

    clock.restart();
    saved.Keep("taro", "pop.example", "s3cret", true);
    EXPECT_LT(clock.elapsed(), kTimeoutMs + 2000);
    EXPECT_EQ(FileValue(), Scrambled("s3cret"));
    EXPECT_EQ(log.size(), 1u);
}

class NoKeyring : public KeyringTest {
protected:
    static void SetUpTestSuite() {
        if (Bus())
            GTEST_SKIP() << "the session bus belongs to another suite; ctest runs each alone";
        const std::string why = TakeBus();
        ASSERT_TRUE(why.empty()) << why;
    }
};

TEST_F(NoKeyring, ThePasswordIsScrambledIntoTheFileAsBeforeAndTheLogSaysSoOnce) {
    KeychainVault vault(kTimeoutMs);
    SavedPassword saved = Saved(vault);
    QElapsedTimer clock;
    clock.start();
    std::string got;
    EXPECT_FALSE(saved.FromKeyring("taro", "pop.example", got));
    saved.Keep("taro", "pop.example", "s3cret", true);
    // Nothing to wait for when nobody owns the name.
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(FileValue(), Scrambled("s3cret"));
    EXPECT_EQ(saved.FromFile(), "s3cret");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("keyring"), std::string::npos);
    EXPECT_EQ(log[0].find("s3cret"), std::string::npos);
    EXPECT_FALSE(QDBusConnection::sessionBus().interface()->isServiceRegistered(kSecrets));
}

}  // namespace
}  // namespace kestrel
