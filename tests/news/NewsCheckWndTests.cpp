#include <QCoreApplication>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "news/CNewsCheckWnd.h"
#include "tests/fakes/RecordingMessageBoxes.h"
#include "tests/fakes/ScriptedLineServer.h"
#include "tests/news/NewsTestSupport.h"
#include "tests/support/Spin.h"

namespace kestrel {
namespace {

using test::ReadFile;
using test::ScriptedLineServer;
using test::SpinFor;
using test::SpinUntil;
using test::WriteFile;
using Strings = std::vector<std::string>;
using S = ScriptedLineServer;
using Exchange = std::pair<std::string, std::string>;  // group asked, reply

const char kReady[] = "200 news.example InterNetNews NNRP server ready (posting ok)\r\n";
const char kReaderMode[] = "200 news.example InterNetNews NNRP server ready (reader mode)\r\n";

S::Script operator+(S::Script first, const S::Script& then) {
    first.insert(first.end(), then.begin(), then.end());
    return first;
}

// The greeting and the answer to MODE READER.
S::Script Greeting(std::string greeting = kReady, std::string modeReply = kReaderMode) {
    return {S::Send(std::move(greeting)), S::ExpectLine("mode reader"),
            S::Send(std::move(modeReply))};
}

// A server that greets, answers the groups in order and takes the QUIT.
S::Script NntpScript(const std::vector<Exchange>& exchanges, std::string greeting = kReady,
                     std::string modeReply = kReaderMode) {
    S::Script script = Greeting(std::move(greeting), std::move(modeReply));
    for (const auto& [group, reply] : exchanges) {
        script.push_back(S::ExpectLine("group " + group));
        script.push_back(S::Send(reply));
    }
    script.push_back(S::ExpectLine("quit"));
    return script;
}

struct FileId {
    ino_t inode = 0;
    long long mtimeNs = 0;
    bool operator==(const FileId&) const = default;
};

FileId IdOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return {st.st_ino, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec};
}

class NewsCheckWndTest : public ::testing::Test {
protected:
    void TearDown() override { ::unlink(list.c_str()); }

    std::unique_ptr<CNewsCheckWnd> Make(std::function<bool()> noticeOpen = {}) {
        return std::make_unique<CNewsCheckWnd>(WorkerContext{&frame, &log, &boxes},
                                               std::move(noticeOpen), nullptr, timing);
    }
    // Write the list (when given), start a check against the server and wait for its
    // dialogue to end.
    std::unique_ptr<CNewsCheckWnd> RunOneCheck(const ScriptedLineServer& server,
                                               const std::optional<std::string>& content) {
        if (content) WriteFile(list, *content);
        log.clear();
        frame.reports.clear();
        auto wnd = Make();
        EXPECT_EQ(wnd->InitCheck("127.0.0.1", server.Port(), 3), 1);
        EXPECT_TRUE(SpinUntil([&] { return log.has("Newscheck Start!!\r\n"); }));
        EXPECT_TRUE(SpinUntil([&] { return !wnd->Busy(); }));
        QCoreApplication::sendPostedEvents();
        return wnd;
    }

    Timing timing = test::NewsTiming();
    test::NewsFrame frame;
    test::RecordingLogSink log;
    test::RecordingMessageBoxes boxes;
    std::string list = test::WatchListPath();
};

TEST_F(NewsCheckWndTest, ACheckReportsTheGrownGroupsAndRemembersTheirNumbers) {
    ScriptedLineServer server(NntpScript({{"fj.a", "211 10 20 120 fj.a\r\n"},
                                          {"fj.b", "211 0 1 0 fj.b\r\n"},
                                          {"fj.c", "411 no such group\r\n"},
                                          {"fj.d", "211 3 1 3 fj.d\r\n"}}));
    auto wnd = RunOneCheck(server, "fj.a:100\nfj.b\nfj.c:5\nfj.d:0:comment\n");
    EXPECT_EQ(wnd->objectName(), QStringLiteral("NewsCheck Window"));
    EXPECT_EQ(frame.reports, Strings{"fj.a fj.d "});
    EXPECT_EQ(ReadFile(list), "fj.a:120\nfj.b:0\nfj.c:5\nfj.d:3\n");
    ASSERT_TRUE(server.WaitForLines(6, 5000));
    EXPECT_EQ(server.Lines(), (Strings{"mode reader", "group fj.a", "group fj.b", "group fj.c",
                                       "group fj.d", "quit"}));
    EXPECT_EQ(server.Mismatches(), 0u);
    EXPECT_EQ(log.Texts(), (Strings{"NEWS TIMER SET COMPLETE\r\n", "Newscheck Start!!\r\n",
                                    "nntp socket connecting\r\n", "mode reader\r\n", kReaderMode,
                                    "group fj.a\r\n", "211 10 20 120 fj.a\r\n", "group fj.b\r\n",
                                    "211 0 1 0 fj.b\r\n", "group fj.c\r\n", "411 no such group\r\n",
                                    "group fj.d\r\n", "211 3 1 3 fj.d\r\n", "quit\r\n",
                                    "nntp socket delete\r\n"}));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(NewsCheckWndTest, OnlyALargerLastNumberIsNewAndNothingNewLeavesTheFileAlone) {
    const struct {
        const char* name;
        std::string line;
        std::string reply;
        Strings reports;
        std::string file;  // empty: not written at all
    } cases[] = {
        {"grown", "fj.a:100\n", "211 10 20 120 fj.a\r\n", {"fj.a "}, "fj.a:120\n"},
        {"same", "fj.a:100\n", "211 10 20 100 fj.a\r\n", {}, ""},
        {"lower", "fj.a:100\n", "211 10 20 99 fj.a\r\n", {}, ""},
        {"no such group", "fj.a:100\n", "411 no such group\r\n", {}, ""},
        {"added without a number, empty group", "fj.a\n", "211 0 0 0 fj.a\r\n", {}, ""},
        {"negative in the file", "fj.a:-5\n", "211 0 0 0 fj.a\r\n", {"fj.a "}, "fj.a:0\n"},
        {"huge in the file", "fj.a:99999999999\n", "211 1 1 2147483647 fj.a\r\n", {}, ""},
        {"huge from the server",
         "fj.a:7\n",
         "211 1 1 99999999999 fj.a\r\n",
         {"fj.a "},
         "fj.a:2147483647\n"},
    };
    for (const auto& c : cases) {
        ScriptedLineServer server(NntpScript({{"fj.a", c.reply}}));
        WriteFile(list, c.line);
        const FileId before = IdOf(list);
        SpinFor(5);  // a rewrite would show in the modification time
        auto wnd = RunOneCheck(server, std::nullopt);
        EXPECT_EQ(frame.reports, c.reports) << c.name;
        if (c.file.empty()) {
            EXPECT_EQ(ReadFile(list), c.line) << c.name;
            EXPECT_EQ(IdOf(list), before) << c.name;
        } else {
            EXPECT_EQ(ReadFile(list), c.file) << c.name;
        }
    }
}

TEST_F(NewsCheckWndTest, LinesThatNameNoGroupAreNotAskedAndKeepTheirBytes) {
    // fj.a, fj.a: and fj.a:0 all mean fj.a with 0; a one-character name is skipped and keeps
    // its bytes, and the asking goes on after it.
    ScriptedLineServer server(NntpScript({{"fj.a", "211 1 1 1 fj.a\r\n"},
                                          {"fj.b", "211 1 1 1 fj.b\r\n"},
                                          {"fj.c", "211 1 1 1 fj.c\r\n"},
                                          {"fj.d", "211 1 1 1 fj.d\r\n"}}));
    const std::string content = "fj.a\nfj.b:\nfj.c:0\na:5\nfj.d:0:note\nfj.e:0";
    auto wnd = RunOneCheck(server, content);
    ASSERT_TRUE(server.WaitForLines(6, 5000));
    EXPECT_EQ(server.Lines(), (Strings{"mode reader", "group fj.a", "group fj.b", "group fj.c",
                                       "group fj.d", "quit"}));
    EXPECT_EQ(frame.reports, Strings{"fj.a fj.b fj.c fj.d "});
    EXPECT_EQ(ReadFile(list), "fj.a:1\nfj.b:1\nfj.c:1\na:5\nfj.d:1\nfj.e:0");
}

TEST_F(NewsCheckWndTest, UnusableLinesAreSkippedAndKeptAndTheCheckAfterFindsNothingNew) {
    // A blank line, a CR in a name, a line far beyond the limit (whose end once passed for a
    // group of its own), a one-character name, a last line without its line end; LF and CR LF
    // mixed as a hand-edited list has them.
    const std::string longLine = "fj." + std::string(290, 'x') + ":5";
    const std::string content =
        "fj.a:5\n\nfj.b:5\r\nfj\rc:5\n" + longLine + "\na:5\r\nfj.d:5:note\nfj.e:5";
    const std::vector<Exchange> exchanges = {{"fj.a", "211 9 1 1000 fj.a\r\n"},
                                             {"fj.b", "211 9 1 1000 fj.b\r\n"},
                                             {"fj.d", "211 9 1 1000 fj.d\r\n"}};
    const std::string rewritten =
        "fj.a:1000\n\nfj.b:1000\r\nfj\rc:5\n" + longLine + "\na:5\r\nfj.d:1000\nfj.e:5";
    {
        ScriptedLineServer server(NntpScript(exchanges));
        auto wnd = RunOneCheck(server, content);
        ASSERT_TRUE(server.WaitForLines(5, 5000));
        EXPECT_EQ(server.Lines(),
                  (Strings{"mode reader", "group fj.a", "group fj.b", "group fj.d", "quit"}));
        EXPECT_EQ(server.Mismatches(), 0u);
        EXPECT_EQ(frame.reports, Strings{"fj.a fj.b fj.d "});
        EXPECT_EQ(ReadFile(list), rewritten);
    }
    ScriptedLineServer server(NntpScript(exchanges));
    auto wnd = RunOneCheck(server, std::nullopt);
    ASSERT_TRUE(server.WaitForLines(5, 5000));
    EXPECT_TRUE(frame.reports.empty());
    EXPECT_EQ(ReadFile(list), rewritten);
}

TEST_F(NewsCheckWndTest, TheSixtyFirstLineIsNeverAskedAndKeepsItsBytes) {
    std::string content;
    std::vector<Exchange> exchanges;
    for (int i = 1; i <= 60; ++i) {
        const std::string group = "fj.g" + std::to_string(i);
        content += group + ":5\r\n";
        exchanges.push_back(
            {group, "211 1 1 " + std::string(i == 1 ? "6 " : "5 ") + group + "\r\n"});
    }
    content += "fj.g61:5\nfj.g62\n";
    ScriptedLineServer server(NntpScript(exchanges));
    auto wnd = RunOneCheck(server, content);
    ASSERT_TRUE(server.WaitForLines(62, 5000));
    const Strings lines = server.Lines();
    ASSERT_EQ(lines.size(), 62u);
    EXPECT_EQ(lines[60], "group fj.g60");
    EXPECT_EQ(lines[61], "quit");
    EXPECT_EQ(frame.reports, Strings{"fj.g1 "});
    std::string expected = "fj.g1:6\r\n";
    for (int i = 2; i <= 60; ++i) expected += "fj.g" + std::to_string(i) + ":5\r\n";
    EXPECT_EQ(ReadFile(list), expected + "fj.g61:5\nfj.g62\n");
}

TEST_F(NewsCheckWndTest, AShortReplyEndsTheAskingButKeepsWhatWasLearned) {
    ScriptedLineServer server(Greeting() + S::Script{S::ExpectLine("group fj.a"),
                                                     S::Send("211 5 1 5 fj.a\r\n"),
                                                     S::ExpectLine("group fj.b"), S::Send("1\r\n"),
                                                     S::ExpectLine("quit")});
    auto wnd = RunOneCheck(server, "fj.a:1:old comment\nfj.b:1\nfj.c:1\n");
    ASSERT_TRUE(server.WaitForLines(4, 5000));
    EXPECT_EQ(server.Lines(), (Strings{"mode reader", "group fj.a", "group fj.b", "quit"}));
    EXPECT_TRUE(log.has("1\r\n"));
    EXPECT_EQ(frame.reports, Strings{"fj.a "});
    EXPECT_EQ(ReadFile(list), "fj.a:5\nfj.b:1\nfj.c:1\n");
}

TEST_F(NewsCheckWndTest, AServerThatClosesMidDialogueStillGetsItsNewsRemembered) {
    ScriptedLineServer server(Greeting() + S::Script{S::ExpectLine("group fj.a"),
                                                     S::Send("211 5 1 5 fj.a\r\n"),
                                                     S::ExpectLine("group fj.b"), S::Close()});
    auto wnd = RunOneCheck(server, "fj.a:1\nfj.b:1\nfj.c:1\n");
    EXPECT_EQ(frame.reports, Strings{"fj.a "});
    EXPECT_EQ(ReadFile(list), "fj.a:5\nfj.b:1\nfj.c:1\n");
    EXPECT_EQ(log.Texts().back(), "nntp socket delete\r\n");
}

TEST_F(NewsCheckWndTest, FailedGreetingsEndTheCheckWithoutAsking) {
    const struct {
        const char* name;
        S::Script script;
        std::string logged;  // UTF-8
    } cases[] = {
        {"access refused",
         {S::Send("502 news.example access denied\r\n")},
         "NNTPサーバ側の準備ができていません\n"},
        {"service not available",
         {S::Send("400 go away\r\n")},
         "NNTPサーバ側の準備ができていません\n"},
        {"silent server", {S::Stall()}, "ERROR     = -1\r\nLASTERROR = 11\r\n"},
        {"closed at once", {S::Close()}, "ERROR     = -1\r\nLASTERROR = 107\r\n"},
    };
    for (const auto& c : cases) {
        ScriptedLineServer server(c.script);
        auto wnd = RunOneCheck(server, "fj.a:1\n");
        const Strings logged = log.utf8();
        ASSERT_GE(logged.size(), 2u) << c.name;
        EXPECT_EQ(logged[logged.size() - 2], c.logged) << c.name;
        EXPECT_EQ(logged.back(), "nntp socket delete\r\n") << c.name;
        EXPECT_TRUE(frame.reports.empty()) << c.name;
        EXPECT_TRUE(boxes.boxes.empty()) << c.name;
        wnd.reset();
        server.Stop();
        EXPECT_TRUE(server.Lines().empty()) << c.name;
    }
}

// A read-only server ("201") is checked like any other, and reader mode is asked for; a
// server that has no reader mode ("5xx") is asked the groups all the same.
TEST_F(NewsCheckWndTest, ReadOnlyAndReaderModeServersAreChecked) {
    const struct {
        const char* name;
        const char* greeting;
        const char* modeReply;
    } cases[] = {
        {"read-only", "201 news.example NNRP server ready (no posting)\r\n",
         "201 news.example NNRP server ready (no posting)\r\n"},
        {"no reader mode", "200 news.example ready\r\n", "500 What?\r\n"},
        {"readers refused reader mode", "201 news.example ready\r\n", "502 not for you\r\n"},
    };
    for (const auto& c : cases) {
        ScriptedLineServer server(
            NntpScript({{"fj.a", "211 10 20 120 fj.a\r\n"}}, c.greeting, c.modeReply));
        auto wnd = RunOneCheck(server, "fj.a:100\n");
        EXPECT_EQ(frame.reports, Strings{"fj.a "}) << c.name;
        ASSERT_TRUE(server.WaitForLines(3, 5000)) << c.name;
        EXPECT_EQ(server.Lines(), (Strings{"mode reader", "group fj.a", "quit"})) << c.name;
        EXPECT_EQ(server.Mismatches(), 0u) << c.name;
        EXPECT_TRUE(log.has(c.modeReply)) << c.name;
    }
}

TEST_F(NewsCheckWndTest, NoAnswerToReaderModeEndsTheCheck) {
    ScriptedLineServer server({S::Send(kReady), S::ExpectLine("mode reader"), S::Stall()});
    auto wnd = RunOneCheck(server, "fj.a:1\n");
    const Strings logged = log.Texts();
    ASSERT_GE(logged.size(), 2u);
    EXPECT_EQ(logged[logged.size() - 2], "ERROR     = -1\r\nLASTERROR = 11\r\n");
    EXPECT_EQ(logged.back(), "nntp socket delete\r\n");
    EXPECT_TRUE(frame.reports.empty());
    EXPECT_EQ(ReadFile(test::WatchListPath()), "fj.a:1\n");
}

TEST_F(NewsCheckWndTest, AnOverlongReplyIsCutAndTheNextReplyStillRight) {
    const std::string longReply = "211 10 20 120 fj.a " + std::string(3000, 'x') + "\r\n";
    ScriptedLineServer server(NntpScript({{"fj.a", longReply}, {"fj.b", "211 1 1 9 fj.b\r\n"}}));
    auto wnd = RunOneCheck(server, "fj.a:100\r\nfj.b:8\r\n");
    EXPECT_EQ(frame.reports, Strings{"fj.a fj.b "});
    EXPECT_EQ(ReadFile(list), "fj.a:120\r\nfj.b:9\r\n");
    EXPECT_TRUE(log.has(longReply.substr(0, 1023)));
}

TEST_F(NewsCheckWndTest, ALockedListSkipsTheCheckAndIsLeftAlone) {
    ScriptedLineServer server(NntpScript({{"fj.a", "211 1 1 9 fj.a\r\n"}}));
    WriteFile(list, "fj.a:1\n");
    auto wnd = Make();
    ASSERT_EQ(wnd->InitCheck("127.0.0.1", server.Port(), 3), 1);
    const int other = ::open(list.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    ASSERT_TRUE(SpinUntil([&] { return log.has("Newscheck Start!!\r\n"); }));
    ASSERT_TRUE(SpinUntil([&] { return !wnd->Busy(); }));
    ::close(other);
    EXPECT_EQ(log.utf8().back(), list + "を\nオープンできません");
    EXPECT_TRUE(frame.reports.empty());
    EXPECT_EQ(ReadFile(list), "fj.a:1\n");
    wnd.reset();
    server.Stop();
    EXPECT_EQ(server.Lines(), Strings{"mode reader"});  // no group asked
}

TEST_F(NewsCheckWndTest, InitCheckResults) {
    timing.newsFirstCheckMs = 3600000;  // armed, not run
    auto wnd = Make();
    EXPECT_EQ(wnd->InitCheck("127.0.0.1", 119, 2), -3);
    EXPECT_TRUE(log.Texts().empty());

    EXPECT_EQ(wnd->InitCheck("127.0.0.1", 119, 3), -1);  // no list yet
    EXPECT_EQ(log.utf8(), Strings{list + "を\nオープンできません"});

    WriteFile(list, "fj.a\n");
    const int other = ::open(list.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    EXPECT_EQ(wnd->InitCheck("127.0.0.1", 119, 3), -1);  // held by another program
    ::close(other);

    log.clear();
    EXPECT_EQ(wnd->InitCheck("127.0.0.1", 119, 3), 1);
    EXPECT_EQ(log.Texts(), Strings{"NEWS TIMER SET COMPLETE\r\n"});
}

TEST_F(NewsCheckWndTest, ChecksComeBackEveryInterval) {
    timing.minuteMs = 5;  // interval 3 = 15 ms
    ScriptedLineServer server(NntpScript({{"fj.a", "211 1 1 1 fj.a\r\n"}}));
    WriteFile(list, "fj.a:1\n");
    auto wnd = Make();
    ASSERT_EQ(wnd->InitCheck("127.0.0.1", server.Port(), 3), 1);
    ASSERT_TRUE(SpinUntil([&] { return server.Connections() >= 3; }));
    EXPECT_TRUE(frame.reports.empty());
}

TEST_F(NewsCheckWndTest, AnOpenNoticeSkipsTheTurn) {
    timing.minuteMs = 5;
    ScriptedLineServer server(NntpScript({{"fj.a", "211 1 1 7 fj.a\r\n"}}));
    WriteFile(list, "fj.a:1\n");
    bool noticeOpen = true;
    auto wnd = Make([&] { return noticeOpen; });
    ASSERT_EQ(wnd->InitCheck("127.0.0.1", server.Port(), 3), 1);
    ASSERT_TRUE(SpinUntil([&] { return log.count("Skip Newscheck Start!!\r\n") >= 2; }));
    EXPECT_EQ(server.Connections(), 0u);
    EXPECT_FALSE(log.has("Newscheck Start!!\r\n"));
    noticeOpen = false;
    ASSERT_TRUE(SpinUntil([&] { return !frame.reports.empty(); }));
    EXPECT_EQ(frame.reports.front(), "fj.a ");
}

TEST_F(NewsCheckWndTest, ATickWhileBusyOnlyRearms) {
    timing.minuteMs = 5;      // interval 3 = 15 ms, far inside one reply wait
    timing.pollSliceMs = 50;  // 5 s per reply wait
    ScriptedLineServer server({S::Stall()});
    WriteFile(list, "fj.a:1\n");
    auto wnd = Make();
    ASSERT_EQ(wnd->InitCheck("127.0.0.1", server.Port(), 3), 1);
    ASSERT_TRUE(SpinUntil([&] { return log.has("Skip Newscheck Start!!\r\n"); }));
    EXPECT_TRUE(wnd->Busy());
    EXPECT_EQ(server.Connections(), 1u);
    EXPECT_EQ(log.count("Newscheck Start!!\r\n"), 1);
}

TEST_F(NewsCheckWndTest, DestroyingTheWindowStopsAStalledCheckAndLeavesTheList) {
    timing.pollSliceMs = 200;  // a missed stop would show as a 20 s wait ending in the error text
    ScriptedLineServer server(Greeting() + S::Script{S::ExpectLine("group fj.a"),
                                                     S::Send("211 1 1 9 fj.a\r\n"),
                                                     S::ExpectLine("group fj.b"), S::Stall()});
    WriteFile(list, "fj.a:1\nfj.b:1\n");
    auto wnd = Make();
    ASSERT_EQ(wnd->InitCheck("127.0.0.1", server.Port(), 3), 1);
    ASSERT_TRUE(SpinUntil([&] { return server.Lines().size() == 3; }));
    wnd.reset();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(log.Texts().back(), "nntp socket delete (at processing)\r\n");
    EXPECT_FALSE(log.has("nntp socket delete\r\n"));
    EXPECT_TRUE(frame.reports.empty());
    EXPECT_EQ(ReadFile(list), "fj.a:1\nfj.b:1\n");  // a stopped check writes nothing
    ASSERT_TRUE(server.WaitForFinished(1, 5000));   // the connection went with the window
}

TEST_F(NewsCheckWndTest, AConnectionThatCannotBeMadeShowsABoxAndStopsTheChecks) {
    timing.minuteMs = 5;  // a re-armed timer would come back at once
    WriteFile(list, "fj.a:1\n");
    auto wnd = Make();
    ASSERT_EQ(wnd->InitCheck("", 119, 3), 1);  // no host: refused when the socket is made
    ASSERT_TRUE(SpinUntil([&] { return !boxes.boxes.empty(); }));
    SpinFor(50);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].textUtf8(), "NNTPサーバに接続できませんでした。\nLASTERROR = 22");
    EXPECT_EQ(boxes.boxes[0].captionUtf8(), "ニュース監視エラー");
    EXPECT_EQ(boxes.boxes[0].icon, BoxIcon::Stop);
    EXPECT_TRUE(log.has("ERROR (LASTERROR = 22)\r\n"));
    EXPECT_FALSE(log.has("nntp socket connecting\r\n"));
    EXPECT_FALSE(wnd->Busy());

    // A new interval brings the checks back.
    EXPECT_EQ(wnd->ChangeInterval(3), 1);
    ASSERT_TRUE(SpinUntil([&] { return boxes.boxes.size() == 2; }));
}

TEST_F(NewsCheckWndTest, ChangeIntervalRefusesTwoMinutesAndStopsTheTimer) {
    ScriptedLineServer server(NntpScript({{"fj.a", "211 1 1 1 fj.a\r\n"}}));
    WriteFile(list, "fj.a:1\n");
    timing.newsFirstCheckMs = 20;
    auto wnd = Make();
    ASSERT_EQ(wnd->InitCheck("127.0.0.1", server.Port(), 3), 1);
    EXPECT_EQ(wnd->ChangeInterval(2), 0);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].textUtf8(), "タイマー値が０です");
    EXPECT_EQ(boxes.boxes[0].captionUtf8(), "タイマー値エラー");
    SpinFor(100);
    EXPECT_EQ(server.Connections(), 0u);

    log.clear();
    EXPECT_EQ(wnd->ChangeInterval(3), 1);
    EXPECT_EQ(log.Texts().front(), "NEWS TIMER SET COMPLETE\r\n");
    ASSERT_TRUE(SpinUntil([&] { return server.Connections() == 1; }));
}

}  // namespace
}  // namespace kestrel
