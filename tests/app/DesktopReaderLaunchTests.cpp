// The popups' reader buttons with the desktop's own applications: a private set of XDG
// directories registers a small recording program as the mailto/news handler, and a helper
// process shows the real popup and clicks it (GIO reads the XDG directories once per
// process, so every case gets a process of its own).
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/fakes/FakeReader.h"
#include "tests/fakes/PrivateSessionBus.h"
#include "tests/support/Spin.h"

namespace kestrel {
namespace {

[[maybe_unused]] ::testing::Environment* const kBus =
    ::testing::AddGlobalTestEnvironment(new test::PrivateSessionBus);

struct HelperRun {
    QStringList lines;  // what the helper printed
    int exitCode = -1;

    std::optional<long long> ClickedMs() const {
        for (const QString& line : lines)
            if (line.startsWith(QLatin1String("clicked "))) return line.mid(8).toLongLong();
        return std::nullopt;
    }
    QStringList Boxes() const {
        QStringList boxes;
        for (const QString& line : lines)
            if (line.startsWith(QLatin1String("box "))) boxes << line.mid(4);
        return boxes;
    }
};

class DesktopReaderLaunch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        for (const char* sub :
             {"config", "data/applications", "sysdata/applications", "sysconfig", "bin"})
            ASSERT_TRUE(QDir(m_dir.path()).mkpath(QLatin1String(sub)));
        // The recording program: one line per start, with its arguments.
        const QString script = Path("bin/recorder");
        QFile f(script);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\necho \"started $*\" >> \"" + Path("record").toUtf8() + "\"\n");
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    }

    QString Path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

    // A desktop entry in the user's data directory running program with the URL field code.
    void Entry(const char* id, const QString& program) {
        QFile f(Path("data/applications/") + QLatin1String(id));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Desktop Entry]\nType=Application\nName=Recorder\nExec=" + program.toUtf8() +
                " %u\n");
    }
    // The user's choices, as xdg-mime default writes them.
    void Defaults(const std::vector<std::pair<const char*, const char*>>& schemeToId) {
        QFile f(Path("config/mimeapps.list"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Default Applications]\n");
        for (const auto& [scheme, id] : schemeToId)
            f.write(QByteArray("x-scheme-handler/") + scheme + '=' + id + '\n');
    }

    HelperRun Click(const QStringList& args) {
        QProcess helper;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), Path("config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), Path("data"));
        env.insert(QStringLiteral("XDG_DATA_DIRS"), Path("sysdata"));
        env.insert(QStringLiteral("XDG_CONFIG_DIRS"), Path("sysconfig"));
        env.remove(QStringLiteral("XDG_CURRENT_DESKTOP"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        helper.setProcessEnvironment(env);
        helper.start(QStringLiteral(POPUP_CLICK_PROGRAM), args);
        HelperRun run;
        if (!helper.waitForFinished(60000)) {
            helper.kill();
            helper.waitForFinished();
            return run;
        }
        run.exitCode = helper.exitCode();
        const QString out = QString::fromUtf8(helper.readAllStandardOutput());
        run.lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return run;
    }

    QStringList Record() const {
        QFile f(Path("record"));
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // The recorder runs on its own; its line comes when it comes.
    QStringList AwaitRecord() const {
        test::SpinUntil([this] { return !Record().isEmpty(); }, 10000);
        return Record();
    }

    QTemporaryDir m_dir;
};

const QString kMail = QStringLiteral("mail");
const QString kNews = QStringLiteral("news");
const QString kMailDesktop = QStringLiteral("4");
const QString kNewsDesktop = QStringLiteral("3");
const QString kGroup = QStringLiteral("fj.news.misc");

TEST_F(DesktopReaderLaunch, TheRegisteredHandlerStartsAtOnceWithTheGroupForNews) {
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, const char*>> defaults;
        QStringList args;
        const char* recorded;
    } const cases[] = {
        // Bare: a "mailto:" URL would open a message to write, not the mailbox.
        {"mail", {{"mailto", "recorder.desktop"}}, {kMail, kMailDesktop, QString()}, "started "},
        {"news",
         {{"news", "recorder.desktop"}},
         {kNews, kNewsDesktop, QString(), kGroup},
         "started news:fj.news.misc"},
        {"news by its nntp handler",
         {{"nntp", "recorder.desktop"}},
         {kNews, kNewsDesktop, QString(), kGroup},
         "started news:fj.news.misc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(Path("record"));
        Entry("recorder.desktop", Path("bin/recorder"));
        Defaults(c.defaults);
        const HelperRun run = Click(c.args);
        ASSERT_EQ(run.exitCode, 0) << run.lines.join(QLatin1Char('|')).toStdString();
        ASSERT_TRUE(run.ClickedMs().has_value());
        EXPECT_LT(*run.ClickedMs(), 1000);  // no waiting for an answer on this road
        EXPECT_EQ(run.Boxes().join(QLatin1Char('|')).toStdString(), "");
        EXPECT_EQ(AwaitRecord().join(QLatin1Char('|')).toStdString(), c.recorded);
    }
}

TEST_F(DesktopReaderLaunch, NoUsableHandlerGivesOneBoxNamingTheFix) {
    struct Case {
        const char* name;
        bool entry;
        const char* program;  // relative to the test directory
        QStringList args;
        const char* kind;
        const char* fix;
    } const cases[] = {
        {"no mail handler",
         false,
         "",
         {kMail, kMailDesktop, QString()},
         "メールソフト",
         "xdg-mime default <アプリ>.desktop x-scheme-handler/mailto"},
        {"no news handler",
         false,
         "",
         {kNews, kNewsDesktop, QString(), kGroup},
         "ニュースリーダ",
         "xdg-mime default <アプリ>.desktop x-scheme-handler/news"},
        {"mail handler whose program is gone",
         true,
         "bin/gone",
         {kMail, kMailDesktop, QString()},
         "メールソフト",
         "x-scheme-handler/mailto"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(Path("data/applications/recorder.desktop"));
        if (c.entry) Entry("recorder.desktop", Path(c.program));
        Defaults({{"mailto", "recorder.desktop"}, {"news", "recorder.desktop"}});
        const HelperRun run = Click(c.args);
        ASSERT_EQ(run.exitCode, 0) << run.lines.join(QLatin1Char('|')).toStdString();
        ASSERT_TRUE(run.ClickedMs().has_value());
        EXPECT_LT(*run.ClickedMs(), 1000);
        const QStringList boxes = run.Boxes();
        ASSERT_EQ(boxes.size(), 1);
        EXPECT_TRUE(boxes[0].startsWith(QString::fromUtf8(c.kind))) << boxes[0].toStdString();
        EXPECT_TRUE(boxes[0].contains(QString::fromUtf8(c.fix))) << boxes[0].toStdString();
    }
    EXPECT_EQ(Record().join(QLatin1Char('|')).toStdString(), "");
}

TEST_F(DesktopReaderLaunch, AStoredAlMailChoiceStillTalksToAlMailOverTheBus) {
    // The desktop's handler is there and must be left alone.
    Entry("recorder.desktop", Path("bin/recorder"));
    Defaults({{"mailto", "recorder.desktop"}});
    test::FakeReader alMail(QStringLiteral(FAKE_READER_PROGRAM), QStringLiteral("ALMail"),
                            QStringLiteral("ALMail"), Path("almail.log"));
    const HelperRun run =
        Click({kMail, QStringLiteral("1"), QString::fromStdString(alMail.CommandLine())});
    ASSERT_EQ(run.exitCode, 0) << run.lines.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(test::SpinUntil([&] { return !alMail.Executes().empty(); }, 10000));
    EXPECT_EQ(alMail.Starts(), 1);
    EXPECT_EQ(alMail.Executes(), std::vector<std::string>{"[Retreive]"});
    EXPECT_EQ(run.Boxes().join(QLatin1Char('|')).toStdString(), "");
    test::SpinFor(300);
    EXPECT_EQ(Record().join(QLatin1Char('|')).toStdString(), "");
}

}  // namespace
}  // namespace kestrel
