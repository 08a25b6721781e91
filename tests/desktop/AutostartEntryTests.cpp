// The autostart entry against private configuration directories.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>

#include "desktop/AutostartEntry.h"

namespace kestrel {
namespace {

using namespace Qt::Literals::StringLiterals;

QByteArray ReadAll(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

void Put(const QString& file, const QByteArray& text) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(file).path()));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

// Each test has its own user and shared configuration directories and PATH.
class AutostartTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        m_saved = {qgetenv("XDG_CONFIG_HOME"), qgetenv("XDG_CONFIG_DIRS"), qgetenv("PATH")};
        qputenv("XDG_CONFIG_HOME", Dir("home").toLocal8Bit());
        qputenv("XDG_CONFIG_DIRS", (Dir("shared1") + ":"_L1 + Dir("shared2")).toLocal8Bit());
        qputenv("PATH", Dir("bin").toLocal8Bit());
    }
    void TearDown() override {
        qputenv("XDG_CONFIG_HOME", m_saved[0]);
        qputenv("XDG_CONFIG_DIRS", m_saved[1]);
        qputenv("PATH", m_saved[2]);
    }
    QString Dir(const char* name) const { return m_root.filePath(QString::fromLatin1(name)); }
    QString UserFile() const {
        return Dir("home") + "/autostart/jp.co.harrowgate.Kestrel.desktop"_L1;
    }
    QString SharedFile(const char* dir) const {
        return Dir(dir) + "/autostart/jp.co.harrowgate.Kestrel.desktop"_L1;
    }

    QTemporaryDir m_root;
    std::array<QByteArray, 3> m_saved;
};

TEST_F(AutostartTest, ExecNamesTheProgramSoTheDesktopStartsThatOne) {
    struct Case {
        QString program;
        QString exec;
    };
    Put(Dir("bin") + "/kestrel"_L1, "#!/bin/sh\n");
    QFile::setPermissions(Dir("bin") + "/kestrel"_L1, QFile::ReadOwner | QFile::ExeOwner);
    const Case cases[] = {
        // The one on PATH is named the way the installed desktop entry names it.
        {Dir("bin") + "/kestrel"_L1, "kestrel"_L1},
        // Another of the same name (a build tree) by its absolute path.
        {"/opt/build/kestrel"_L1, "/opt/build/kestrel"_L1},
        {"/home/a b/build/kestrel"_L1, "\"/home/a b/build/kestrel\""_L1},
        // Quoted, then the backslash escaped again as the entry's string value.
        {"/tmp/$x`y\"z/kestrel"_L1, "\"/tmp/\\\\$x\\\\`y\\\\\"z/kestrel\""_L1},
        {"/tmp/100%/kestrel"_L1, "/tmp/100%%/kestrel"_L1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program.toStdString());
        EXPECT_EQ(AutostartEntry(c.program).ExecValue(), c.exec);
    }
}

TEST_F(AutostartTest, OnWritesTheEntryAndOffRemovesOnlyIt) {
    const AutostartEntry entry("/opt/build/kestrel"_L1);
    EXPECT_EQ(entry.UserFile(), UserFile());
    EXPECT_FALSE(entry.Enabled());
    Put(Dir("home") + "/autostart/other.desktop"_L1, "[Desktop Entry]\nExec=other\n");

    ASSERT_TRUE(entry.SetEnabled(true));
    EXPECT_TRUE(entry.Enabled());
    const QByteArray text = ReadAll(UserFile());
    for (const char* line :
         {"[Desktop Entry]\n", "\nType=Application\n", "\nName=Kestrel for Intranet\n",
          "\nExec=/opt/build/kestrel\n", "\nIcon=jp.co.harrowgate.Kestrel\n",
          "\nX-GNOME-Autostart-enabled=true\n"})
        EXPECT_TRUE(text.contains(line)) << line << "\n" << text.toStdString();
    EXPECT_FALSE(text.contains("Hidden"));
    // No copy of a half-written file is left beside it.
    EXPECT_EQ(QDir(Dir("home") + "/autostart"_L1).entryList(QDir::Files | QDir::Hidden).size(), 2);

    ASSERT_TRUE(entry.SetEnabled(true));  // again: same file, nothing added
    EXPECT_EQ(ReadAll(UserFile()), text);

    ASSERT_TRUE(entry.SetEnabled(false));
    EXPECT_FALSE(entry.Enabled());
    EXPECT_FALSE(QFileInfo::exists(UserFile()));
    EXPECT_EQ(ReadAll(Dir("home") + "/autostart/other.desktop"_L1),
              "[Desktop Entry]\nExec=other\n");
    EXPECT_TRUE(entry.SetEnabled(false));
}

TEST_F(AutostartTest, AUserEntryThatTheDesktopTurnedOffReadsAsOff) {
    const AutostartEntry entry("/opt/build/kestrel"_L1);
    for (const char* text : {"[Desktop Entry]\nExec=kestrel\nHidden=true\n",
                             "[Desktop Entry]\nExec=kestrel\nX-GNOME-Autostart-enabled=false\n"}) {
        SCOPED_TRACE(text);
        Put(UserFile(), text);
        EXPECT_FALSE(entry.Enabled());
        ASSERT_TRUE(entry.SetEnabled(true));
        EXPECT_TRUE(entry.Enabled());
    }
}

TEST_F(AutostartTest, TheAdministratorsSharedEntryIsTurnedOffForOneUserByHidingIt) {
    const QByteArray shared = "[Desktop Entry]\nType=Application\nExec=kestrel\n";
    Put(SharedFile("shared2"), shared);
    const AutostartEntry entry("/opt/build/kestrel"_L1);
    EXPECT_TRUE(entry.Enabled());

    ASSERT_TRUE(entry.SetEnabled(false));
    EXPECT_FALSE(entry.Enabled());
    EXPECT_TRUE(ReadAll(UserFile()).contains("\nHidden=true\n"));
    EXPECT_EQ(ReadAll(SharedFile("shared2")), shared);

    ASSERT_TRUE(entry.SetEnabled(true));
    EXPECT_TRUE(entry.Enabled());
    EXPECT_FALSE(ReadAll(UserFile()).contains("Hidden"));

    // The first shared directory speaks for all: one shipped off (Hidden) there is off.
    ASSERT_TRUE(entry.SetEnabled(false));
    Put(SharedFile("shared1"), "[Desktop Entry]\nExec=kestrel\nHidden=true\n");
    ASSERT_TRUE(QFile::remove(UserFile()));
    EXPECT_FALSE(entry.Enabled());
}

TEST_F(AutostartTest, AFolderThatCannotBeMadeIsReported) {
    Put(Dir("home") + "/autostart"_L1, "a file where the folder belongs");
    const AutostartEntry entry("/opt/build/kestrel"_L1);
    EXPECT_FALSE(entry.SetEnabled(true));
    EXPECT_FALSE(entry.Enabled());
}

}  // namespace
}  // namespace kestrel
