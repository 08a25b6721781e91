// The news check against the harness's real INN: a new article in a watched group reaches the
// frame's report and the watch list.
#include <QCoreApplication>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "news/CNewsCheckWnd.h"
#include "tests/fakes/RecordingMessageBoxes.h"
#include "tests/integration/support/HarnessEnv.h"
#include "tests/integration/support/LineClient.h"
#include "tests/news/NewsTestSupport.h"
#include "tests/support/Spin.h"

namespace kestrel::test {
namespace {

using Strings = std::vector<std::string>;

// The last article number INN reports for a group ("211 count low high group").
int HighOf(LineClient& news, const std::string& group) {
    const QStringList fields = QString::fromStdString(news.command("GROUP " + group)).split(u' ');
    return fields.size() >= 4 && fields[0] == QStringLiteral("211") ? fields[3].toInt() : -1;
}

class NewsCheckIntegration : public ::testing::Test {
protected:
    void TearDown() override { ::unlink(list.c_str()); }

    // One check from the timer's tick to the end of its dialogue (against the server on
    // checkPort, the posting one when 0); a check that ends in a box leaves it in boxes.
    void RunOneCheck(int checkPort = 0, const std::string& host = "127.0.0.1",
                     const TlsSettings& tls = {}) {
        log.clear();
        frame.reports.clear();
        boxes.boxes.clear();
        CNewsCheckWnd wnd(WorkerContext{&frame, &log, &boxes}, {}, nullptr, timing);
        wnd.SetSecurity(tls);
        ASSERT_EQ(wnd.InitCheck(host, checkPort ? checkPort : port, 3), 1);
        ASSERT_TRUE(SpinUntil([&] { return log.has("nntp socket connecting\r\n"); }, 20000));
        ASSERT_TRUE(SpinUntil([&] { return !wnd.Busy(); }, 60000));
        QCoreApplication::sendPostedEvents();
        EXPECT_TRUE(log.has("nntp socket delete\r\n"));
    }

    // Posts one article to group through the server on postPort (the main one when 0) and
    // returns the group's new high number there.
    int Post(const std::string& group, int postPort = 0) {
        QProcess post;
        post.start(QStringLiteral("python3"),
                   {QString::fromStdString(poster), QString::fromStdString(group),
                    QStringLiteral("--port"), QString::number(postPort ? postPort : port)});
        EXPECT_TRUE(post.waitForFinished(60000));
        EXPECT_EQ(post.exitCode(), 0) << post.readAllStandardError().toStdString();
        return post.readAllStandardOutput().trimmed().toInt();
    }

    // With fj.a watched at its last article (asked through news, a reader already greeted),
    // an article posted through postPort is reported by a check against checkPort, which asks
    // for reader mode on the way.
    void ExpectANewArticleReported(LineClient& news, int checkPort, int postPort) {
        const int high = HighOf(news, "fj.a");
        ASSERT_GE(high, 0);
        WriteFile(list, "fj.a:" + std::to_string(high) + "\n");
        const int posted = Post("fj.a", postPort);
        ASSERT_GT(posted, high);
        RunOneCheck(checkPort);
        EXPECT_TRUE(boxes.boxes.empty());
        EXPECT_TRUE(log.has("mode reader\r\n"));
        EXPECT_EQ(frame.reports, Strings{"fj.a "});
        EXPECT_EQ(ReadFile(list), "fj.a:" + std::to_string(posted) + "\n");
    }

    // The first check at once, the program's own reply waits: INN's reader servers fork for
    // each connection and the TLS ones make their keys then, which on a busy machine takes
    // longer than the unit tests' short waits.
    static Timing CheckTiming() {
        Timing t = NewsTiming();
        t.pollSliceMs = ProgramTiming().pollSliceMs;
        return t;
    }
    Timing timing = CheckTiming();
    NewsFrame frame;
    RecordingLogSink log;
    RecordingMessageBoxes boxes;
    std::string list = WatchListPath();
    int port = harnessPort("KESTREL_IT_NNTP_PORT");
    std::string poster = harnessEnv("KESTREL_IT_NNTP_POST");
};

TEST_F(NewsCheckIntegration, ANewArticleIsReportedAndRemembered) {
    ASSERT_FALSE(HasFailure());
    LineClient news;
    ASSERT_TRUE(news.connect(port));
    ASSERT_TRUE(news.readLine().has_value());
    const int highA = HighOf(news, "fj.a");
    const int highB = HighOf(news, "fj.b");
    ASSERT_GE(highA, 0);
    ASSERT_GE(highB, 0);

    const std::string known = "fj.a:" + std::to_string(highA) +
                              "\r\nfj.b:" + std::to_string(highB) + "\r\nfj.kestrel.unknown:3\r\n";
    WriteFile(list, known);
    RunOneCheck();
    ASSERT_FALSE(HasFailure());
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(frame.reports.empty());
    EXPECT_EQ(ReadFile(list), known);  // nothing new: not written
    EXPECT_TRUE(log.has("group fj.kestrel.unknown\r\n"));

    const int posted = Post("fj.a");
    ASSERT_GT(posted, highA);
    RunOneCheck();
    EXPECT_EQ(frame.reports, Strings{"fj.a "});
    EXPECT_EQ(ReadFile(list), "fj.a:" + std::to_string(posted) + "\r\nfj.b:" +
                                  std::to_string(highB) + "\r\nfj.kestrel.unknown:3\r\n");

    // Remembered: the next check finds nothing new.
    RunOneCheck();
    EXPECT_TRUE(frame.reports.empty());
}

TEST_F(NewsCheckIntegration, AGroupAddedWithoutANumberIsNewOnceItHasArticles) {
    ASSERT_FALSE(HasFailure());
    const int posted = Post("fj.b");
    ASSERT_GT(posted, 0);
    WriteFile(list, "fj.b\n");
    RunOneCheck();
    EXPECT_EQ(frame.reports, Strings{"fj.b "});
    EXPECT_EQ(ReadFile(list), "fj.b:" + std::to_string(posted) + "\n");  // its own line end
}

// A read-only reader server greets with "201"; the check goes on, asks for reader mode and
// reports the new article like any other server.
TEST_F(NewsCheckIntegration, AReadOnlyServerReportsANewArticle) {
    const int readOnlyPort = harnessPort("KESTREL_IT_NNTP_RO_PORT");
    ASSERT_FALSE(HasFailure());
    LineClient news;
    ASSERT_TRUE(news.connect(readOnlyPort));
    ASSERT_EQ(news.readLine().value_or("").rfind("201 ", 0), 0u);
    // Posted through the main server, whose spool it reads.
    ExpectANewArticleReported(news, readOnlyPort, port);
}

// A server that takes this host for a feeding peer greets in transit mode and refuses GROUP
// until it is asked for reader mode; the check asks first and reports the new article.
TEST_F(NewsCheckIntegration, AServerThatServesReadersOnlyInReaderModeReportsANewArticle) {
    const int feedPort = harnessPort("KESTREL_IT_NNTP_FEED_PORT");
    ASSERT_FALSE(HasFailure());
    LineClient news;
    ASSERT_TRUE(news.connect(feedPort));
    ASSERT_NE(news.readLine().value_or("").find("transit mode"), std::string::npos);
    EXPECT_EQ(news.command("GROUP fj.a").substr(0, 4), "401 ");  // not without reader mode
    ASSERT_EQ(news.command("MODE READER").substr(0, 4), "200 ");
    ExpectANewArticleReported(news, feedPort, feedPort);
}

// INN's own reader server with the test certificate: upgraded by STARTTLS on the ordinary
// port and in TLS from the first byte on its own, the check reports the new article; without
// the test CA the certificate is not trusted, a box says so and no group is asked for.
TEST_F(NewsCheckIntegration, NnrpdOverStartTlsAndOverItsOwnTlsPort) {
    const std::string tlsHost = harnessEnv("KESTREL_IT_NNTP_TLS_HOST");
    const std::string ca = harnessEnv("KESTREL_IT_NNTP_TLS_CA");
    const struct {
        int port;
        ChannelSecurity security;
    } roads[] = {{harnessPort("KESTREL_IT_NNTP_STARTTLS_PORT"), ChannelSecurity::StartTls},
                 {harnessPort("KESTREL_IT_NNTPS_PORT"), ChannelSecurity::OnConnect}};
    ASSERT_FALSE(HasFailure());
    for (const auto& road : roads) {
        SCOPED_TRACE(road.port);
        // The readers share the main server's spool.
        LineClient news;
        ASSERT_TRUE(news.connect(port));
        ASSERT_TRUE(news.readLine().has_value());
        const int high = HighOf(news, "fj.b");
        ASSERT_GE(high, 0);
        WriteFile(list, "fj.b:" + std::to_string(high) + "\r\n");
        const int posted = Post("fj.b");
        ASSERT_GT(posted, high);

        RunOneCheck(road.port, tlsHost, {road.security, ca});
        EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().textUtf8();
        EXPECT_EQ(frame.reports, Strings{"fj.b "});
        EXPECT_EQ(ReadFile(list), "fj.b:" + std::to_string(posted) + "\r\n");
        EXPECT_EQ(log.has("starttls\r\n"), road.security == ChannelSecurity::StartTls);

        const auto before = ReadFile(list);
        RunOneCheck(road.port, tlsHost, {road.security, ""});
        ASSERT_TRUE(SpinUntil([&] { return !boxes.boxes.empty(); }, 2000));
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes.front().captionUtf8(), "ニュース監視エラー");
        EXPECT_NE(boxes.boxes.front().textUtf8().find("信頼できません"), std::string::npos)
            << boxes.boxes.front().textUtf8();
        EXPECT_TRUE(log.has("TLS ERROR (self-signed certificate in certificate chain)\r\n"));
        EXPECT_FALSE(log.has("group fj.b\r\n"));
        EXPECT_FALSE(log.has("mode reader\r\n"));
        EXPECT_TRUE(frame.reports.empty());
        EXPECT_EQ(ReadFile(list), before);
    }
}

}  // namespace
}  // namespace kestrel::test
