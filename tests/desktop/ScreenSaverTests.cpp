#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QObject>

#include <gtest/gtest.h>

#include "desktop/DbusScreenSaver.h"
#include "tests/fakes/PrivateSessionBus.h"
#include "tests/support/Spin.h"

using kestrel::DbusScreenSaver;
using kestrel::test::SpinFor;
using kestrel::test::SpinUntil;

// A screen-saver service on its own bus connection, answering as the test says.
class StandInSaver : public QObject {
    Q_OBJECT
public:
    bool active = false;
    bool fail = false;
    bool silent = false;
    int setCalls = 0;

public slots:
    bool GetActive(const QDBusMessage& msg) {
        if (silent) {
            msg.setDelayedReply(true);  // never answered
            return false;
        }
        if (fail) {
            m_bus->send(
                msg.createErrorReply(QStringLiteral("org.example.Failed"), QStringLiteral("no")));
            msg.setDelayedReply(true);
        }
        return active;
    }
    bool SetActive(bool on) {
        ++setCalls;
        active = on;
        return true;
    }

public:
    // Owns a connection of its own so the service's name has its own owner.
    bool Publish(const QString& service, const QString& path, const QString& connName) {
        m_name = connName;
        m_service = service;
        QDBusConnection c = QDBusConnection::connectToBus(QDBusConnection::SessionBus, connName);
        m_bus = std::make_unique<QDBusConnection>(c);
        return c.registerObject(path, service, this, QDBusConnection::ExportAllSlots) &&
               c.registerService(service);
    }
    void Withdraw() {
        if (!m_bus) return;
        m_bus->unregisterService(m_service);
        m_bus.reset();
        QDBusConnection::disconnectFromBus(m_name);
    }
    ~StandInSaver() override { Withdraw(); }

private:
    std::unique_ptr<QDBusConnection> m_bus;
    QString m_name;
    QString m_service;
};

namespace {

// Poll as the view does, once per slice, until the answer is what we want.
bool PollUntil(DbusScreenSaver& saver, bool want, int ms = 5000) {
    return SpinUntil(
        [&] {
            SpinFor(5);
            return saver.IsActive() == want;
        },
        ms);
}

}  // namespace

TEST(DbusScreenSaverTest, EmptyBusCostsNoCallsAndNeverRuns) {
    DbusScreenSaver saver;
    SpinFor(100);
    for (int i = 0; i < 200; ++i) EXPECT_FALSE(saver.IsActive());
    saver.Close();
    EXPECT_EQ(saver.CallsMade(), 0);
    EXPECT_TRUE(saver.CurrentService().isEmpty());
}

TEST(DbusScreenSaverTest, FollowsAServiceThatAppearsLateAndVanishes) {
    DbusScreenSaver saver;
    SpinFor(50);
    StandInSaver standIn;
    // KDE's second path: the first GetActive fails on the usual path, the next ones find it.
    ASSERT_TRUE(standIn.Publish(QStringLiteral("org.freedesktop.ScreenSaver"),
                                QStringLiteral("/ScreenSaver"), QStringLiteral("late")));
    ASSERT_TRUE(SpinUntil([&] { return !saver.CurrentService().isEmpty(); }));
    EXPECT_EQ(saver.CurrentService(), QStringLiteral("org.freedesktop.ScreenSaver"));
    EXPECT_TRUE(PollUntil(saver, false));
    standIn.active = true;
    EXPECT_TRUE(PollUntil(saver, true));

    saver.Close();
    EXPECT_FALSE(saver.IsActive());
    ASSERT_TRUE(SpinUntil([&] { return standIn.setCalls == 1; }));
    EXPECT_FALSE(standIn.active);

    standIn.active = true;
    EXPECT_TRUE(PollUntil(saver, true));
    standIn.Withdraw();
    EXPECT_TRUE(SpinUntil([&] { return saver.CurrentService().isEmpty(); }));
    EXPECT_FALSE(saver.IsActive());
}

TEST(DbusScreenSaverTest, TakesTheFirstOwnedServiceInOrderAndTreatsErrorsAsNotRunning) {
    StandInSaver mate;
    StandInSaver gnome;
    ASSERT_TRUE(mate.Publish(QStringLiteral("org.mate.ScreenSaver"),
                             QStringLiteral("/org/mate/ScreenSaver"), QStringLiteral("mate")));
    ASSERT_TRUE(gnome.Publish(QStringLiteral("org.gnome.ScreenSaver"),
                              QStringLiteral("/org/gnome/ScreenSaver"), QStringLiteral("gnome")));
    DbusScreenSaver saver;
    ASSERT_TRUE(SpinUntil(
        [&] { return saver.CurrentService() == QStringLiteral("org.gnome.ScreenSaver"); }));
    mate.active = true;
    SpinFor(50);
    EXPECT_TRUE(PollUntil(saver, false));  // MATE runs, but GNOME's answer is the one asked
    gnome.active = true;
    EXPECT_TRUE(PollUntil(saver, true));
    gnome.fail = true;
    EXPECT_TRUE(PollUntil(saver, false));
    gnome.fail = false;
    // A service that never answers: each poll returns at once, and no second call is started
    // while the first is outstanding.
    gnome.silent = true;
    SpinFor(50);
    const int before = saver.CallsMade();
    for (int i = 0; i < 100; ++i) EXPECT_FALSE(saver.IsActive());
    EXPECT_LE(saver.CallsMade(), before + 1);
    gnome.silent = false;
    gnome.Withdraw();
    ASSERT_TRUE(SpinUntil(
        [&] { return saver.CurrentService() == QStringLiteral("org.mate.ScreenSaver"); }));
    EXPECT_TRUE(PollUntil(saver, true));
}

[[maybe_unused]] ::testing::Environment* const kBus =
    ::testing::AddGlobalTestEnvironment(new kestrel::test::PrivateSessionBus);

#include "ScreenSaverTests.moc"
