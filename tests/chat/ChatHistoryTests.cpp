// The chat history file: its dated name, the question at exit, what a save appends, and
// what is kept in memory.
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "chat/CChatHistory.h"
#include "platform/ProgramDir.h"
#include "res/Cp932.h"
#include "tests/fakes/RecordingMessageBoxes.h"

namespace kestrel {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TEST(ChatHistory, FileNameIsDatedInShiftJis) {
    std::tm t{};
    t.tm_year = 101;
    t.tm_mon = 4;
    t.tm_mday = 19;
    EXPECT_EQ(cp932ToUtf8(CChatHistory::FileNameFor(t)), "会話履歴010519.txt");
}

TEST(ChatHistory, SecondSaveOnTheSameDayAppendsASecondHeader) {
    const std::string dir = ProgramDir();
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 10;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 7;
    const std::string path = dir + "/" + CChatHistory::FileNameFor(t);
    std::remove(path.c_str());

    test::RecordingMessageBoxes boxes;
    CChatHistory first;
    first.Add(utf8ToCp932("受[太郎(pc1)]  こんにちは"));
    first.OfferSave(boxes, dir, t);
    CChatHistory second;
    second.Add("line 2");
    second.Add("line 3");
    t.tm_hour = 17;
    second.OfferSave(boxes, dir, t);

    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].textUtf8(),
              "チャットの会話履歴をファイルに保存しますか？\n(ファイル名：会話履歴261210.txt)");
    EXPECT_EQ(boxes.boxes[0].captionUtf8(), "Kestrel for Intranet");
    EXPECT_EQ(boxes.boxes[0].buttons, BoxButtons::YesNo);
    EXPECT_EQ(boxes.boxes[0].icon, BoxIcon::Question);

    const std::string expected = "********************* 12/10 09:05:07 ********************\r\n" +
                                 utf8ToCp932("受[太郎(pc1)]  こんにちは") + "\r\n" +
                                 "********************* 12/10 17:05:07 ********************\r\n"
                                 "line 2\r\nline 3\r\n";
    EXPECT_EQ(ReadFile(path), expected);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(ChatHistory, NoQuestionWhenEmptyAndNothingWrittenOnNo) {
    const std::string dir = ProgramDir() + "/nosave";
    QDir().mkpath(QString::fromStdString(dir));
    std::tm t{};
    t.tm_year = 126;
    test::RecordingMessageBoxes boxes;
    CChatHistory empty;
    empty.OfferSave(boxes, dir, t);
    EXPECT_TRUE(boxes.boxes.empty());

    CChatHistory some;
    some.Add("x");
    boxes.answers.push_back(BoxAnswer::No);
    some.OfferSave(boxes, dir, t);
    EXPECT_EQ(boxes.boxes.size(), 1u);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir + "/" + CChatHistory::FileNameFor(t))));
}

TEST(ChatHistory, AMissingDirectoryIsAFailedSave) {
    CChatHistory h;
    h.Add("x");
    std::tm t{};
    int error = 0;
    EXPECT_FALSE(h.AppendTo("/nonexistent-dir-for-kestrel", t, &error));
    EXPECT_EQ(error, ENOENT);
}

std::tm HistoryDay() {
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 0;
    t.tm_mday = 5;
    t.tm_hour = 8;
    return t;
}

TEST(ChatHistory, KeepsTheNewestLinesInMemoryAndSavesEveryLineFiled) {
    const std::string dir = ProgramDir() + "/manylines";
    QDir().mkpath(QString::fromStdString(dir));
    const std::tm t = HistoryDay();
    const std::string path = dir + "/" + CChatHistory::FileNameFor(t);
    std::remove(path.c_str());
    CChatHistory h;
    std::string expected = "********************* 01/05 08:00:00 ********************\r\n";
    for (int i = 0; i < 2500; ++i) {
        h.Add("line " + std::to_string(i));
        expected += "line " + std::to_string(i) + "\r\n";
    }
    EXPECT_EQ(h.Lines().size(), CChatHistory::kKeptLines);
    EXPECT_EQ(h.Lines().front(), "line 1500");
    EXPECT_EQ(h.Filed(), 2500u);
    ASSERT_TRUE(h.AppendTo(dir, t));
    EXPECT_EQ(ReadFile(path), expected);
    // The spool is read again whole by a second save.
    ASSERT_TRUE(h.AppendTo(dir, t));
    EXPECT_EQ(ReadFile(path), expected + expected);
}

TEST(ChatHistory, NoPartOfAMessageStandsAsALineOfItsOwnInTheFile) {
    const std::string dir = ProgramDir() + "/forged";
    QDir().mkpath(QString::fromStdString(dir));
    const std::tm t = HistoryDay();
    const std::string path = dir + "/" + CChatHistory::FileNameFor(t);
    std::remove(path.c_str());
    CChatHistory h;
    h.Add(utf8ToCp932("受[Hana(PC02)]  hi\n送[Boss(PC09)]  forged\n*** 01/05 ***"));
    ASSERT_TRUE(h.AppendTo(dir, t));
    const std::string file = ReadFile(path);
    EXPECT_EQ(file.substr(file.find("\r\n") + 2),
              utf8ToCp932("受[Hana(PC02)]  hi\r\n\t送[Boss(PC09)]  forged\r\n\t*** 01/05 ***\r\n"));
}

TEST(ChatHistory, AFailedSaveNamesTheFileAndTheReasonAndTriesAgainOnYes) {
    const std::string dir = ProgramDir() + "/locked";
    QDir().mkpath(QString::fromStdString(dir));
    const std::tm t = HistoryDay();
    const std::string path = dir + "/" + CChatHistory::FileNameFor(t);
    std::remove(path.c_str());
    // Another program holds the day's file.
    const int holder = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    CChatHistory h;
    h.Add("kept");
    test::RecordingMessageBoxes boxes;
    // Yes to the save, Yes to the first retry (still held), then the user frees the file
    // while the second failure box is up and says Yes again.
    boxes.whileShown = [&](const test::RecordingMessageBoxes::Box&) {
        if (boxes.boxes.size() == 3) ::close(holder);
    };
    h.OfferSave(boxes, dir, t);
    ASSERT_EQ(boxes.boxes.size(), 3u);
    const std::string failed =
        "チャットの会話履歴を保存できませんでした。\n(ファイル名：" + cp932ToUtf8(path) +
        ")\nファイルは他のプログラムが使用中です。\n\nもう一度保存しますか？";
    EXPECT_EQ(boxes.boxes[1].textUtf8(), failed);
    EXPECT_EQ(boxes.boxes[1].icon, BoxIcon::Warning);
    EXPECT_EQ(boxes.boxes[1].buttons, BoxButtons::YesNo);
    EXPECT_NE(ReadFile(path).find("kept\r\n"), std::string::npos);

    // No to the retry: the program goes on without the file, having said so.
    test::RecordingMessageBoxes refused;
    refused.answers = {BoxAnswer::Yes, BoxAnswer::No};
    h.OfferSave(refused, ProgramDir() + "/no-such-directory", t);
    ASSERT_EQ(refused.boxes.size(), 2u);
    EXPECT_NE(refused.boxes[1].textUtf8().find("No such file or directory (2)"), std::string::npos)
        << refused.boxes[1].textUtf8();
}

}  // namespace
}  // namespace kestrel
