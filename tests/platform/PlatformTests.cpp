#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/MessageEvent.h"
#include "platform/ProgramDir.h"
#include "platform/Timing.h"
#include "platform/WindowTimers.h"
#include "res/Cp932.h"
#include "res/Text.h"
#include "res/TextsCore.h"
#include "tests/support/Spin.h"

namespace kestrel {
namespace {

using test::SpinFor;
using test::SpinUntil;

struct Tracked {
    explicit Tracked(int* alive) : alive(alive) { ++*alive; }
    Tracked(Tracked&& o) noexcept : alive(o.alive) { o.alive = nullptr; }
    ~Tracked() {
        if (alive) --*alive;
    }
    int* alive;
};

class Receiver : public QObject {
public:
    void customEvent(QEvent* e) override {
        if (auto* m = asMessage(e)) {
            messages.push_back(m->message());
            kept = m->takeFirst<Tracked>();
        }
    }
    std::vector<unsigned> messages;
    std::unique_ptr<Tracked> kept;
};

TEST(MessageEvent, DeliversInOrderAndHandsOverTheBlock) {
    int alive = 0;
    Receiver r;
    PostMessage(&r, 0x466);
    PostMessage(&r, 0x590, 0, 0, own(Tracked(&alive)));
    EXPECT_EQ(alive, 1);
    ASSERT_TRUE(SpinUntil([&] { return r.messages.size() == 2; }));
    EXPECT_EQ(r.messages, (std::vector<unsigned>{0x466, 0x590}));
    ASSERT_TRUE(r.kept);
    EXPECT_EQ(alive, 1);
    r.kept.reset();
    EXPECT_EQ(alive, 0);
}

TEST(MessageEvent, BlockIsReleasedWhenTheTargetIsGoneFirst) {
    int alive = 0;
    {
        Receiver r;
        PostMessage(&r, 0x590, 0, 0, own(Tracked(&alive)), own(Tracked(&alive)));
        EXPECT_EQ(alive, 2);
    }
    EXPECT_EQ(alive, 0);
}

TEST(WindowTimers, SettingAnIdAgainReplacesItAndKillStopsIt) {
    std::vector<int> fired;
    WindowTimers timers([&](int id) { fired.push_back(id); });
    ASSERT_TRUE(timers.SetTimer(2, 100000));
    ASSERT_TRUE(timers.SetTimer(2, 5));
    EXPECT_EQ(timers.Interval(2), 5);
    ASSERT_TRUE(SpinUntil([&] { return fired.size() >= 2; }));
    EXPECT_EQ(fired.front(), 2);
    EXPECT_TRUE(timers.KillTimer(2));
    EXPECT_FALSE(timers.IsActive(2));
    const size_t count = fired.size();
    SpinFor(40);
    EXPECT_EQ(fired.size(), count);
    EXPECT_FALSE(timers.KillTimer(2));
}

TEST(WindowTimers, HandlerMayKillItsOwnTimer) {
    int count = 0;
    WindowTimers* self = nullptr;
    WindowTimers timers([&](int id) {
        ++count;
        self->KillTimer(id);
    });
    self = &timers;
    timers.SetTimer(1, 1);
    SpinFor(30);
    EXPECT_EQ(count, 1);
}

TEST(Timing, DefaultsAreTheProgramsDurations) {
    const Timing t;
    EXPECT_EQ(t.pollSliceMs, 50);
    EXPECT_EQ(t.pollSlices, 100);
    EXPECT_EQ(t.passReplySlices, 300);
    EXPECT_EQ(t.newPassSliceMs, 100);
    EXPECT_EQ(t.newPassSlices, 1500);
    EXPECT_EQ(t.mailFirstCheckMs, 10000);
    EXPECT_EQ(t.newsFirstCheckMs, 25000);
    EXPECT_EQ(t.minuteMs, 60000);
    EXPECT_EQ(t.workerStopWaitMs, 20000);
    EXPECT_EQ(t.ackTimeoutMs, 3000);
    EXPECT_EQ(t.memberRefreshMs, 6000);
    EXPECT_EQ(t.saverPollMs, 1000);
    EXPECT_EQ(t.saverAwayMs, 20000);
    EXPECT_EQ(t.awayReminderMs, 30000);
    EXPECT_EQ(t.reminderCloseMs, 8000);
    EXPECT_EQ(t.exitPauseMs, 1000);
    EXPECT_EQ(t.readerRetryMs, 1000);
    EXPECT_EQ(t.readerRetries, 15);
    EXPECT_EQ(t.acceptRetryMs, 200);
    EXPECT_EQ(t.idleConnectionMs, 30000);
    EXPECT_EQ(t.imapIdleRenewMs, 1500000);
    EXPECT_EQ(t.imapRetryFirstMs, 1000);
    const Timing s = t.Scaled(0.001);
    EXPECT_EQ(s.pollSliceMs, 1);
    EXPECT_EQ(s.mailFirstCheckMs, 10);
    EXPECT_EQ(s.pollSlices, 100);
    EXPECT_EQ(s.idleConnectionMs, 30);
    EXPECT_EQ(s.imapIdleRenewMs, 1500);
}

TEST(Cp932, FixedTextsConvertToTheirShiftJisBytes) {
    EXPECT_EQ(sjis(txt::kSocketsInitFailed).substr(0, 16),
              std::string("Windows \xBF\xB9\xAF\xC4\x82\xCC\x8F\x89", 16));
    EXPECT_EQ(&sjis(txt::kDefaultPlaces), &sjis(txt::kDefaultPlaces));
    EXPECT_EQ(sjis(txt::kDefaultPlaces), "\x89\xEF\x8B\x63\x8E\xBA~:_\x83g\x83\x43\x83\x8C~:_");
    EXPECT_EQ(cp932ToUtf8(sjis(txt::kHistoryAsk)), txt::kHistoryAsk);
}

TEST(Cp932, InvalidBytesBecomeReplacementsNotCrashes) {
    EXPECT_EQ(cp932ToUtf8("a\x81"), "a\xEF\xBF\xBD");
    EXPECT_EQ(cp932ToUtf8(std::string("\xFF\xFF", 2)).size(), 6u);
    EXPECT_EQ(utf8ToCp932("x\xF0\x9F\x98\x80y").front(), 'x');
}

// Sets an environment variable for one scope; a null value unsets it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (m_old) {
            setenv(m_name, m_old->c_str(), 1);
        } else {
            unsetenv(m_name);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    return st.st_mode & 07777;
}

TEST(ProgramDir, ChoosesKestrelHomeThenABuildTreeThenThePrivateDataDir) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const std::string root = tmp.path().toStdString();
    const std::string writable = root + "/build";
    std::string unwritable = root + "/usr-bin";
    // Writable, as /usr/bin is to the superuser, but where the install puts the program; and
    // a link to it, as /bin is to /usr/bin.
    const std::string installed = root + "/prefix/bin";
    const std::string linkToInstalled = root + "/bin";
    // A build tree that merely has a system directory's name at its end.
    const std::string lookalike = root + "/usr/bin";
    for (const std::string& dir : {writable, unwritable, installed, lookalike}) {
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(dir)));
    }
    ASSERT_EQ(::symlink(installed.c_str(), linkToInstalled.c_str()), 0);
    ASSERT_EQ(::chmod(unwritable.c_str(), 0555), 0);
    // The superuser may write anywhere the permissions say no; /proc/self is closed even to it.
    if (::access(unwritable.c_str(), W_OK) == 0) unwritable = "/proc/self";
    ASSERT_NE(::access(unwritable.c_str(), W_OK), 0);

    struct Case {
        const char* what;
        const char* kestrelHome;
        const char* xdgDataHome;  // relative to root; null: unset
        const char* home;         // relative to root
        std::string exeDir;
        std::string expected;  // relative to root when it does not start with '/'
        bool madePrivate;
    };
    const Case cases[] = {
        {"KESTREL_HOME wins", "/tmp/kestrel-home-test/", "data", "home", unwritable,
         "/tmp/kestrel-home-test", false},
        {"writable build tree", nullptr, "data", "home", writable + "/", writable, false},
        {"build tree named like a system dir", nullptr, "data", "home", lookalike, lookalike,
         false},
        {"unwritable, XDG_DATA_HOME", nullptr, "data", "home", unwritable,
         "data/Harrowgate/Kestrel", true},
        {"unwritable, the home's default", nullptr, nullptr, "home", unwritable,
         "home/.local/share/Harrowgate/Kestrel", true},
        {"the configured install dir, writable", nullptr, "inst", "home", installed + "/",
         "inst/Harrowgate/Kestrel", true},
        {"a link to the install dir", nullptr, "link", "home", linkToInstalled,
         "link/Harrowgate/Kestrel", true},
        {"the system's program dir", nullptr, "sys", "home", "/usr/bin", "sys/Harrowgate/Kestrel",
         true},
        {"the local program dir", nullptr, "local", "home", "/usr/local/bin",
         "local/Harrowgate/Kestrel", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string xdg = c.xdgDataHome ? root + "/" + c.xdgDataHome : std::string();
        const std::string home = root + "/" + c.home;
        ScopedEnv kh("KESTREL_HOME", c.kestrelHome);
        ScopedEnv xd("XDG_DATA_HOME", c.xdgDataHome ? xdg.c_str() : nullptr);
        ScopedEnv hm("HOME", home.c_str());
        const std::string expected =
            c.expected.front() == '/' ? c.expected : root + "/" + c.expected;
        const std::string chosen =
            c.kestrelHome ? ProgramDir() : ProgramDirFor(c.exeDir, installed);
        EXPECT_EQ(chosen, expected);
        if (c.madePrivate) {
            EXPECT_EQ(ModeOf(expected), 0700u);
            // Asked again, the directory that now exists is chosen as it is.
            EXPECT_EQ(ProgramDirFor(c.exeDir, installed), expected);
            EXPECT_EQ(UserDataDir(), expected);
        }
    }
    ::chmod((root + "/usr-bin").c_str(), 0755);
}

TEST(ProgramDir, WithoutKestrelHomeABuildTreeKeepsItsFilesBesideTheProgram) {
    ScopedEnv kh("KESTREL_HOME", nullptr);
    EXPECT_EQ(ProgramDir(), QCoreApplication::applicationDirPath().toStdString());
    EXPECT_EQ(ProgramFile("kestrel.log"),
              QCoreApplication::applicationDirPath().toStdString() + "/kestrel.log");
}

TEST(ShippedFile, FoundBesideTheProgramOrUnderTheInstallPrefix) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const std::string root = tmp.path().toStdString();
    auto put = [&](const std::string& rel) {
        const QString path = QString::fromStdString(root + "/" + rel);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        return f.open(QIODevice::WriteOnly);
    };
    ASSERT_TRUE(put("build/html/index.html"));
    ASSERT_TRUE(put("build/../share/kestrel/html/index.html"));
    ASSERT_TRUE(put("prefix/share/kestrel/html/index.html"));
    QDir().mkpath(QString::fromStdString(root + "/prefix/bin"));
    EXPECT_EQ(ShippedFileFor(root + "/build", "html/index.html"), root + "/build/html/index.html");
    EXPECT_EQ(ShippedFileFor(root + "/prefix/bin", "html/index.html"),
              root + "/prefix/share/kestrel/html/index.html");
}

}  // namespace
}  // namespace kestrel
