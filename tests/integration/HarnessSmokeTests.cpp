// Proves the real-server harness is up and answers the way the program's protocols expect,
// with a plain line client, so later integration tests can rely on it.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <string>

#include "tests/integration/support/HarnessEnv.h"
#include "tests/integration/support/LineClient.h"

namespace kestrel::test {
namespace {

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

TEST(HarnessPop3, LogsInAndCountsTheMailbox) {
    const int port = harnessPort("KESTREL_IT_POP3_PORT");
    const std::string user = harnessEnv("KESTREL_IT_POP3_USER");
    const std::string pass = harnessEnv("KESTREL_IT_POP3_PASS");
    const std::string messages = harnessEnv("KESTREL_IT_POP3_MESSAGES");
    ASSERT_FALSE(HasFailure());

    LineClient pop;
    ASSERT_TRUE(pop.connect(port));
    EXPECT_TRUE(startsWith(pop.readLine().value_or(""), "+OK"));
    EXPECT_TRUE(startsWith(pop.command("USER " + user), "+OK"));
    EXPECT_EQ(pop.command("PASS " + pass), "+OK Logged in.");
    EXPECT_TRUE(startsWith(pop.command("STAT"), "+OK " + messages + " "));
    EXPECT_TRUE(startsWith(pop.command("QUIT"), "+OK"));
}

TEST(HarnessPop3, RefusesAWrongPassword) {
    const int port = harnessPort("KESTREL_IT_POP3_PORT");
    const std::string user = harnessEnv("KESTREL_IT_POP3_USER");
    ASSERT_FALSE(HasFailure());

    LineClient pop;
    ASSERT_TRUE(pop.connect(port));
    EXPECT_TRUE(startsWith(pop.readLine().value_or(""), "+OK"));
    EXPECT_TRUE(startsWith(pop.command("USER " + user), "+OK"));
    EXPECT_EQ(pop.command("PASS not-the-password"), "-ERR [AUTH] Authentication failed.");
}

TEST(HarnessPoppassd, GreetsAndChecksTheOldPassword) {
    const int port = harnessPort("KESTREL_IT_POPPASSD_PORT");
    const std::string user = harnessEnv("KESTREL_IT_POPPASSD_USER");
    ASSERT_FALSE(HasFailure());
    ASSERT_FALSE(harnessEnv("KESTREL_IT_POPPASSD_PASS").empty());

    LineClient pw;
    ASSERT_TRUE(pw.connect(port));
    EXPECT_TRUE(startsWith(pw.readLine().value_or(""), "200 "));
    EXPECT_TRUE(startsWith(pw.command("user " + user), "200 "));
    // A wrong old password must be refused; the right one is left for the password-change
    // tests, which change it.
    EXPECT_TRUE(startsWith(pw.command("pass not-the-password"), "500 "));
}

TEST(HarnessNntp, ServesTheWatchedGroupsAndTakesPosts) {
    const int port = harnessPort("KESTREL_IT_NNTP_PORT");
    const std::string poster = harnessEnv("KESTREL_IT_NNTP_POST");
    ASSERT_FALSE(HasFailure());

    LineClient news;
    ASSERT_TRUE(news.connect(port));
    const std::string greeting = news.readLine().value_or("");
    EXPECT_TRUE(startsWith(greeting, "200 ") || startsWith(greeting, "201 ")) << greeting;
    const std::string before = news.command("GROUP fj.b");
    ASSERT_TRUE(startsWith(before, "211 ")) << before;
    EXPECT_TRUE(startsWith(news.command("GROUP fj.a"), "211 "));

    QProcess post;
    post.start(QStringLiteral("python3"), {QString::fromStdString(poster), QStringLiteral("fj.b"),
                                           QStringLiteral("--count"), QStringLiteral("2")});
    ASSERT_TRUE(post.waitForFinished(60000));
    ASSERT_EQ(post.exitCode(), 0) << post.readAllStandardError().toStdString();
    const int high = post.readAllStandardOutput().trimmed().toInt();

    // "211 count low high group": the reader sees the two new articles at once.
    const QStringList fields = QString::fromStdString(news.command("GROUP fj.b")).split(u' ');
    ASSERT_EQ(fields.size(), 5);
    EXPECT_EQ(fields[3].toInt(), high);
    EXPECT_EQ(high - QString::fromStdString(before).split(u' ')[3].toInt(), 2);
}

TEST(HarnessDBus, SessionBusIsPrivateAndCarriesNames) {
    const std::string address = harnessEnv("KESTREL_IT_DBUS_ADDRESS");
    ASSERT_FALSE(HasFailure());

    // The program reaches its readers through the session bus named in the environment;
    // a name it owns there must be visible to another client of the harness's bus.
    QDBusConnection session = QDBusConnection::sessionBus();
    ASSERT_TRUE(session.isConnected()) << session.lastError().message().toStdString();
    const QString name = QStringLiteral("dde.KestrelHarnessProbe");
    ASSERT_TRUE(session.registerService(name));

    const QString probeName = QStringLiteral("harness-probe");
    {
        QDBusConnection probe =
            QDBusConnection::connectToBus(QString::fromStdString(address), probeName);
        ASSERT_TRUE(probe.isConnected()) << probe.lastError().message().toStdString();
        EXPECT_TRUE(probe.interface()->isServiceRegistered(name).value());
    }
    QDBusConnection::disconnectFromBus(probeName);
    session.unregisterService(name);
}

}  // namespace
}  // namespace kestrel::test
