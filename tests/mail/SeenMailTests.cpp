#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "mail/SeenMailBook.h"
#include "mail/SeenMailStore.h"

namespace kestrel {
namespace {

using namespace std::string_literals;
using Strings = std::vector<std::string>;

const MailAccount kAlice{"pop.example", 110, "alice"};
const MailAccount kBob{"pop.example", 110, "bob"};

SeenMailBook Reloaded(const SeenMailBook& book) {
    return SeenMailBook::Parse(book.Serialize());
}

// The rule as the user lives it: mail since the reader was last started is unread; the
// reader started makes it read; deleted mail leaves the book; a restart forgets nothing.
TEST(SeenMailBook, MailIsUnreadUntilTheReaderIsStarted) {
    SeenMailBook book;
    EXPECT_EQ(book.Observe(kAlice, {"a", "b", "c"}).unread, 3u);  // never read before
    EXPECT_EQ(book.Observe(kAlice, {"a", "b", "c"}).unread, 3u);
    EXPECT_TRUE(book.MarkRead());
    EXPECT_FALSE(book.MarkRead());  // nothing new to mark: no rewrite
    EXPECT_EQ(book.Observe(kAlice, {"a", "b", "c"}).unread, 0u);
    EXPECT_EQ(book.Observe(kAlice, {"a", "b", "c", "d"}).unread, 1u);

    book = Reloaded(book);
    EXPECT_EQ(book.Observe(kAlice, {"a", "b", "c", "d"}).unread, 1u);  // d is still unread

    const auto gone = book.Observe(kAlice, {"c", "d"});  // a and b deleted by the reader
    EXPECT_EQ(gone.unread, 1u);
    EXPECT_TRUE(gone.changed);
    EXPECT_EQ(book.SeenOf(kAlice), (std::set<std::string>{"c"}));

    // A listing taken while the reader ran is what the mark covers, not mail after it.
    book.Observe(kAlice, {"c", "d", "e"});
    book.MarkRead();
    EXPECT_EQ(Reloaded(book).Observe(kAlice, {"c", "d", "e", "f"}).unread, 1u);
}

TEST(SeenMailBook, MailboxesAreKeptApart) {
    SeenMailBook book;
    book.Observe(kAlice, {"x", "y"});
    book.MarkRead();
    EXPECT_EQ(book.Observe(kBob, {"x", "y"}).unread, 2u);
    EXPECT_EQ(book.Observe(MailAccount{"pop.example", 995, "alice"}, {"x"}).unread, 1u);
    EXPECT_EQ(book.Observe(kAlice, {"x", "y"}).unread, 0u);
}

TEST(SeenMailBook, AnyUidlBytesAndAnyAccountTextSurviveTheFile) {
    const MailAccount odd{"host name%20\n", 65535, "\x83\x65\x83\x58\x83\x67 user\r\0"s};
    const Strings uidls = {"%41", "\x01\x02 \xff"s,  "a\0b"s,   std::string(70, '~'),
                           "end", "account x 1 y 0", "partial", "."};
    SeenMailBook book;
    book.Observe(odd, uidls);
    book.MarkRead();
    const SeenMailBook back = Reloaded(book);
    EXPECT_FALSE(back.Damaged());
    EXPECT_EQ(back.SeenOf(odd), std::set<std::string>(uidls.begin(), uidls.end()));
    EXPECT_EQ(back.Serialize(), book.Serialize());
}

// A file cut anywhere: every mailbox starts again from its next listing with everything
// taken as read. Never a storm of old mail.
TEST(SeenMailBook, AFileCutAnywhereNeverMakesOldMailNew) {
    SeenMailBook book;
    book.Observe(kBob, {"b1", "b2"});
    book.MarkRead();
    book.Observe(kAlice, {"a1", "a2", "a3"});
    book.MarkRead();
    const std::string file = book.Serialize();
    for (std::size_t cut = 0; cut < file.size(); ++cut) {
        SeenMailBook cutBook = SeenMailBook::Parse(file.substr(0, cut));
        EXPECT_TRUE(cutBook.Damaged()) << cut;
        EXPECT_EQ(cutBook.Observe(kAlice, {"a1", "a2", "a3", "a4", "a5"}).unread, 0u) << cut;
        EXPECT_EQ(cutBook.Observe(kAlice, {"a1", "a2", "a3", "a4", "a5", "a6"}).unread, 1u) << cut;
        EXPECT_EQ(cutBook.Observe(MailAccount{"other", 110, "carol"}, {"c"}).unread, 0u) << cut;
    }
}

TEST(SeenMailBook, DamagedFiles) {
    SeenMailBook good;
    good.Observe(kAlice, {"a1", "a2"});
    good.MarkRead();
    const std::string file = good.Serialize();
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"other header", "KestrelSeenMail 2\n" + file.substr(file.find('\n') + 1)},
        {"binary", "\x00\xff\x13garbage\n\n\n"s},
        {"bad escape", "KestrelSeenMail 1\naccount pop.example 110 alice 1\n%4G\nend\n"},
        {"count above the lines",
         "KestrelSeenMail 1\naccount pop.example 110 alice 3\na1\na2\nend\n"},
        {"count beyond the limit",
         "KestrelSeenMail 1\naccount pop.example 110 alice 99999999999999999999\na1\nend\n"},
        {"port not a number", "KestrelSeenMail 1\naccount pop.example 1x0 alice 1\na1\nend\n"},
        {"blank in a uidl", "KestrelSeenMail 1\naccount pop.example 110 alice 1\na 1\nend\n"},
        {"uidl too long",
         "KestrelSeenMail 1\naccount pop.example 110 alice 1\n" + std::string(71, 'a') + "\nend\n"},
    };
    for (const auto& c : cases) {
        SeenMailBook book = SeenMailBook::Parse(c.bytes);
        EXPECT_TRUE(book.Damaged()) << c.name;
        EXPECT_FALSE(book.SeenOf(kAlice)) << c.name;
        EXPECT_EQ(book.Observe(kAlice, {"a1", "a2", "a3"}).unread, 0u) << c.name;
        EXPECT_EQ(book.Observe(kAlice, {"a1", "a2", "a3", "a4"}).unread, 1u) << c.name;
    }
}

TEST(SeenMailBook, TheFileStaysWithinItsBounds) {
    SeenMailBook book;
    for (std::size_t i = 0; i < SeenMailBook::kMaxAccounts + 2; ++i) {
        const MailAccount account{"pop", 110, "user" + std::to_string(i)};
        book.Observe(account, {"m"});
        book.MarkRead();
    }
    Strings many;
    for (std::size_t i = 0; i < SeenMailBook::kMaxEntries; ++i) many.push_back(std::to_string(i));
    book.Observe(kAlice, many);
    book.MarkRead();

    SeenMailBook back = Reloaded(book);
    // The mailbox checked last is kept whole; older ones that no longer fit are left out,
    // and the file says so, so they start again without a storm.
    EXPECT_EQ(back.SeenOf(kAlice)->size(), SeenMailBook::kMaxEntries);
    EXPECT_TRUE(back.Damaged());
    EXPECT_EQ(back.Observe(MailAccount{"pop", 110, "user0"}, {"m", "n"}).unread, 0u);
}

class SeenMailStoreTest : public ::testing::Test {
protected:
    std::string Path() const { return m_dir.filePath(QStringLiteral("seen.dat")).toStdString(); }
    std::string Read() const {
        std::ifstream in(Path(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    QTemporaryDir m_dir;
};

TEST_F(SeenMailStoreTest, TheFileIsTheUsersAloneAndWrittenWhole) {
    {
        SeenMailStore store(Path());
        EXPECT_EQ(store.Observe(kAlice, {"a", "b"}).unread, 2u);
        EXPECT_FALSE(std::filesystem::exists(Path()));  // nothing read yet: nothing written
        EXPECT_TRUE(store.MarkRead());
    }
    struct stat info {};
    ASSERT_EQ(::stat(Path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.path().toStdString()),
                            std::filesystem::directory_iterator{}),
              1);  // no temporary file left behind

    SeenMailStore restarted(Path());
    EXPECT_EQ(restarted.Observe(kAlice, {"a", "b", "c"}).unread, 1u);
}

TEST_F(SeenMailStoreTest, AnUnwritableFileKeepsTheCountGoingInMemory) {
    ASSERT_TRUE(std::filesystem::create_directory(Path()));  // a directory where the file goes
    SeenMailStore store(Path());
    // The path cannot be read as a file: its old contents are unknown, so nothing is new.
    EXPECT_EQ(store.Observe(kAlice, {"a", "b"}).unread, 0u);
    const auto next = store.Observe(kAlice, {"a", "b", "c"});
    EXPECT_EQ(next.unread, 1u);
    EXPECT_FALSE(store.MarkRead());
    EXPECT_EQ(store.Observe(kAlice, {"a", "b", "c"}).unread, 0u);
}

TEST_F(SeenMailStoreTest, AFileBeyondTheBoundIsNotReadInto) {
    {
        std::ofstream out(Path(), std::ios::binary);
        out << "KestrelSeenMail 1\n";
        const std::string block(1 << 20, 'x');
        for (std::size_t i = 0; i <= SeenMailStore::kMaxFileBytes >> 20; ++i) out << block;
    }
    SeenMailStore store(Path());
    EXPECT_TRUE(store.Snapshot().Damaged());
    EXPECT_EQ(store.Observe(kAlice, {"a"}).unread, 0u);
}

}  // namespace
}  // namespace kestrel
