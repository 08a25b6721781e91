#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/resource.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "news/NewsCheckState.h"
#include "news/WatchList.h"
#include "news/WatchListFile.h"
#include "tests/news/NewsTestSupport.h"

namespace kestrel {
namespace {

using test::ReadFile;
using test::WriteFile;
using Strings = std::vector<std::string>;

struct Read {
    std::string text;
    bool ended;
    std::size_t size;
    bool operator==(const Read&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Read& r) {
    return os << "{\"" << r.text << "\", " << r.ended << ", " << r.size << "}";
}

std::vector<Read> ReadLines(std::string_view content) {
    std::vector<Read> out;
    std::size_t offset = 0;
    while (auto line = WatchList::ReadLine(content, offset)) {
        EXPECT_EQ(line->offset, offset);
        out.push_back({std::string(line->text), line->ended, line->size});
        offset += line->size;
    }
    return out;
}

TEST(WatchList, ALineRunsToItsLineEndAndALastLineNeedsItsLineEnd) {
    const std::string t124(124, 'n');
    const std::string t125(125, 'n');
    const struct {
        const char* name;
        std::string content;
        std::vector<Read> lines;
    } cases[] = {
        {"LF and CR LF", "fj.a\nfj.b\r\n", {{"fj.a", true, 5}, {"fj.b", true, 6}}},
        {"no line end at the end", "fj.a\nfj.b", {{"fj.a", true, 5}, {"fj.b", false, 4}}},
        {"124 characters and the line end fill the limit", t124 + "\n", {{t124, true, 125}}},
        {"the same with CR LF", t124 + "\r\n", {{t124, true, 126}}},
        {"125 characters stay one line", t125 + "\nfj.a\n", {{t125, true, 126}, {"fj.a", true, 5}}},
        {"a long line is never split",
         std::string(300, 'x') + "\r\nfj.a\n",
         {{std::string(300, 'x'), true, 302}, {"fj.a", true, 5}}},
        {"a lone CR is text", "fj\ra\n", {{"fj\ra", true, 5}}},
        {"CR before CR LF", "fj.a\r\r\n", {{"fj.a\r", true, 7}}},
        {"empty lines", "\n\r\n", {{"", true, 1}, {"", true, 2}}},
        {"empty file", "", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadLines(c.content), c.lines) << c.name;
    }
    // Beyond the limit a line names no group, whatever it holds.
    const std::string over = "fj." + std::string(119, 'a') + ":12\n";
    EXPECT_FALSE(WatchList::ParseLine(*WatchList::ReadLine(over, 0)));
    // A name is usable only as long as its rewritten line, with any number, still fits.
    const std::string longest(WatchList::kMaxNameLength, 'a');
    for (const std::string& line : {longest + "\r\n", longest + ":-2147483648\n"}) {
        const auto group = WatchList::ParseLine(*WatchList::ReadLine(line, 0));
        ASSERT_TRUE(group) << line;
        GroupEntry entry;
        std::memcpy(entry.name, group->name.data(), group->name.size());
        entry.last = INT32_MIN;
        const auto read = WatchList::ReadLine(line, 0);
        const std::string rewritten = WatchList::Rewritten(&*read, &entry, 1);
        EXPECT_TRUE(WatchList::ParseLine(*WatchList::ReadLine(rewritten, 0))) << rewritten;
    }
    EXPECT_FALSE(WatchList::ParseLine(*WatchList::ReadLine(longest + "a\n", 0)));
}

TEST(WatchList, NameBeforeTheFirstColonNumberBeforeTheSecond) {
    const struct {
        std::string line;
        const char* name;  // nullptr: skipped
        std::int32_t last;
    } cases[] = {
        {"fj.a\n", "fj.a", 0},
        {"fj.a:\n", "fj.a", 0},
        {"fj.a:0\n", "fj.a", 0},
        {"fj.news.misc:1234\r\n", "fj.news.misc", 1234},
        {"fj.a:77:whatever: else\n", "fj.a", 77},
        {"fj.a:x12\n", "fj.a", 0},
        {"fj.a:-5\n", "fj.a", -5},
        {"fj.a:99999999999999999999\n", "fj.a", INT_MAX},
        {"fj.a: 12\n", "fj.a", 12},
        {"ab\n", "ab", 0},
        {"a:5\n", nullptr, 0},
        {"a\n", nullptr, 0},
        {":5\n", nullptr, 0},
        {"\n", nullptr, 0},
        {"fj.a:5", nullptr, 0},                         // the last line without its line end
        {std::string("f\0j.abc:3\n", 10), nullptr, 0},  // the name ends at the zero byte
        {std::string("fj\0.abc:3\n", 10), "fj", 0},
    };
    for (const auto& c : cases) {
        const auto line = WatchList::ReadLine(c.line, 0);
        ASSERT_TRUE(line) << c.line;
        const auto group = WatchList::ParseLine(*line);
        if (!c.name) {
            EXPECT_FALSE(group) << c.line;
            continue;
        }
        ASSERT_TRUE(group) << c.line;
        EXPECT_EQ(group->name, c.name) << c.line;
        EXPECT_EQ(group->last, c.last) << c.line;
    }
}

TEST(WatchList, AnyBytesSplitIntoLinesThatCoverTheFileExactly) {
    std::mt19937 random(4);
    for (int round = 0; round < 200; ++round) {
        std::string content(random() % 2000, '\0');
        for (auto& c : content) {
            const unsigned r = random() % 8;
            c = r == 0 ? '\n' : r == 1 ? '\r' : r == 2 ? ':' : static_cast<char>(random());
        }
        std::size_t offset = 0;
        while (auto line = WatchList::ReadLine(content, offset)) {
            ASSERT_GT(line->size, 0u);
            ASSERT_LE(line->offset + line->size, content.size());
            ASSERT_EQ(std::string(line->text) + std::string(line->end),
                      content.substr(line->offset, line->size));
            if (auto group = WatchList::ParseLine(*line)) {
                ASSERT_LT(group->name.size(), WatchList::kLineLimit);
                ASSERT_LT(group->name.size(), sizeof GroupEntry{}.name);
            }
            offset += line->size;
        }
        ASSERT_EQ(offset, content.size());
    }
}

TEST(WatchList, RewriteReplacesOnlyTheAskedLinesAndKeepsTheirLineEnds) {
    const std::string content = "fj.a:5:note\n\nfj.b:5\r\nz\nfj.c:1\nfj.d";
    std::vector<WatchList::Line> lines;
    std::size_t at = 0;
    while (const auto line = WatchList::ReadLine(content, at)) {
        lines.push_back(*line);
        at += line->size;
    }
    ASSERT_EQ(lines.size(), 6u);
    GroupEntry entries[6];
    std::strcpy(entries[0].name, "fj.a");
    entries[0].last = 120;
    std::strcpy(entries[2].name, "fj.b");
    entries[2].last = -3;
    // entries[4]: fj.c was never asked (a short reply ended the asking)
    EXPECT_EQ(WatchList::Rewritten(lines.data(), entries, 6),
              "fj.a:120\n\nfj.b:-3\r\nz\nfj.c:1\nfj.d");
    std::memset(entries[1].name, 'x', sizeof entries[1].name);  // no zero byte: still bounded
    EXPECT_EQ(WatchList::Rewritten(lines.data(), entries, 2).size(), 9u + 255 + 3);
}

class WatchListFileTest : public ::testing::Test {
protected:
    std::string path = test::WatchListPath();
    void TearDown() override { ::unlink(path.c_str()); }
    // Files of the program directory other than the list and its link target.
    static std::vector<std::string> Leftovers() {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(ProgramDir())) {
            const std::string name = e.path().filename().string();
            if (name.find("newschck") != std::string::npos && name != "newschck.lst") {
                names.push_back(name);
            }
        }
        return names;
    }
};

TEST_F(WatchListFileTest, AMissingOrLockedListCannotBeOpened) {
    EXPECT_FALSE(WatchListFile::CanOpen(path));
    WatchListFile file;
    EXPECT_FALSE(file.Open(path));

    WriteFile(path, "fj.a\n");
    EXPECT_TRUE(WatchListFile::CanOpen(path));
    {
        WatchListFile holder;
        ASSERT_TRUE(holder.Open(path));
        EXPECT_EQ(holder.Head(), "fj.a\n");
        EXPECT_FALSE(WatchListFile::CanOpen(path));  // held by the check
    }
    const int other = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);  // another program holds it
    EXPECT_FALSE(file.Open(path));
    ::close(other);
    EXPECT_TRUE(file.Open(path));
}

TEST_F(WatchListFileTest, TheHeadReachesTheSixtiethLineHoweverLongTheLinesBefore) {
    std::string content = std::string(20000, 'x') + "\n";
    for (int i = 0; i < 59; ++i) content += "fj.a:" + std::string(200, '1') + "\n";
    const std::string beyond = "fj.z:1\n" + std::string(100000, 'q');
    WriteFile(path, content + beyond);
    WatchListFile file;
    ASSERT_TRUE(file.Open(path));
    ASSERT_GE(file.Head().size(), content.size());
    EXPECT_EQ(file.Head().substr(0, content.size()), content);
    EXPECT_LT(file.Head().size(), content.size() + beyond.size());
}

TEST_F(WatchListFileTest, StaleCopiesAreRemovedAndNothingElse) {
    const std::string dir = ProgramDir();
    const Strings stale = {".newschck.lst.a1B2c3", ".newschck.lst.XXXXXX"};
    const Strings kept = {".newschck.lst.toolong", ".newschck.lst.abc", "newschck.lst.abcdef",
                          ".newschck.lsx.abcdef"};
    for (const auto& name : stale) WriteFile(dir + "/" + name, "fj.a:1\n");
    for (const auto& name : kept) WriteFile(dir + "/" + name, "fj.a:1\n");
    const std::string subdir = dir + "/.newschck.lst.dirdir";
    ASSERT_EQ(::mkdir(subdir.c_str(), 0700), 0);
    WriteFile(path, "fj.a:1\n");

    EXPECT_EQ(WatchListFile::RemoveStaleCopies(path), stale.size());
    for (const auto& name : stale) EXPECT_FALSE(ReadFile(dir + "/" + name)) << name;
    for (const auto& name : kept) EXPECT_TRUE(ReadFile(dir + "/" + name)) << name;
    EXPECT_EQ(ReadFile(path), "fj.a:1\n");
    struct stat st {};
    EXPECT_EQ(::stat(subdir.c_str(), &st), 0);
    for (const auto& name : kept) ::unlink((dir + "/" + name).c_str());
    ::rmdir(subdir.c_str());
}

TEST_F(WatchListFileTest, RewriteKeepsTheRestByteForByteAndTheMode) {
    const std::string tail = std::string("z\nfj.b:3:comment\r\n\x01\xff binary\0stuff", 34) +
                             std::string(100000, 'q');  // beyond the head that was read
    WriteFile(path, "fj.a:1:a long comment that must not survive\n" + tail);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    struct stat before {};
    ::stat(path.c_str(), &before);

    WatchListFile file;
    ASSERT_TRUE(file.Open(path));
    const std::size_t keepFrom = WatchList::ReadLine(file.Head(), 0)->size;
    ASSERT_TRUE(file.Rewrite("fj.a:2\r\n", keepFrom));
    file.Close();

    EXPECT_EQ(ReadFile(path), "fj.a:2\r\n" + tail);
    struct stat after {};
    ::stat(path.c_str(), &after);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_NE(after.st_ino, before.st_ino);  // a new file renamed over the old one
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(WatchListFileTest, ASymbolicLinkStaysALinkToTheRewrittenList) {
    const std::string target = ProgramFile("real-list.lst");
    WriteFile(target, "fj.a:1\n");
    ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
    WatchListFile file;
    ASSERT_TRUE(file.Open(path));
    ASSERT_TRUE(file.Rewrite("fj.a:5\r\n", 7));
    struct stat link {};
    ASSERT_EQ(::lstat(path.c_str(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
    EXPECT_EQ(ReadFile(target), "fj.a:5\r\n");
    ::unlink(target.c_str());
}

TEST_F(WatchListFileTest, AnEditMadeDuringTheCheckWins) {
    const struct {
        const char* name;
        void (*edit)(const std::string& path);
    } cases[] = {
        {"saved as a new file",
         [](const std::string& p) {
             WriteFile(p + ".new", "fj.a:1\nfj.added\n");
             ASSERT_EQ(::rename((p + ".new").c_str(), p.c_str()), 0);
         }},
        {"written in place",
         [](const std::string& p) {
             std::ofstream out(p, std::ios::binary | std::ios::app);
             out << "fj.added\n";
         }},
    };
    for (const auto& c : cases) {
        WriteFile(path, "fj.a:1\n");
        WatchListFile file;
        ASSERT_TRUE(file.Open(path)) << c.name;
        c.edit(path);
        EXPECT_FALSE(file.Rewrite("fj.a:9\r\n", 7)) << c.name;
        EXPECT_EQ(ReadFile(path), "fj.a:1\nfj.added\n") << c.name;
    }
}

TEST_F(WatchListFileTest, AFailedRewriteLeavesTheListAsItWasAndNoTemporaryFile) {
    const std::string content = "fj.a:1\n" + std::string(100000, 'q');
    WriteFile(path, content);
    WatchListFile file;
    ASSERT_TRUE(file.Open(path));
    EXPECT_FALSE(file.Rewrite("fj.a:2\r\n", content.size() + 1));  // past the end

    // A disk that fills up half-way through the new file.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 50000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool rewritten = file.Rewrite("fj.a:2\r\n", 7);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(rewritten);
    file.Close();

    EXPECT_EQ(ReadFile(path), content);
    EXPECT_TRUE(Leftovers().empty());
}

}  // namespace
}  // namespace kestrel
