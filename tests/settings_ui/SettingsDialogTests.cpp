// The settings dialogs with scalar fields: what OK takes, what it refuses and what greys.
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

#include "res/Text.h"
#include "res/TextsSettingsDlg.h"
#include "settings_ui/CCommunicatorDlg.h"
#include "settings_ui/CEnvironmentDlg.h"
#include "settings_ui/CSoundDlg.h"
#include "settings_ui/CTimerDlg.h"
#include "settings_ui/CUserInterfaceDlg.h"
#include "tests/settings_ui/DialogTestSupport.h"

namespace kestrel {
namespace {

using namespace test;

struct TimerCase {
    const char* news;
    const char* mail;
    const char* days;
    const char* box;  // UTF-8; empty when OK closes the dialog
};

TEST(TimerDialog, TakesIntervalsInRangeAndRefusesTheRest) {
    const TimerCase cases[] = {
        {"3", "0", "7", ""},  // a zero mail interval is this dialog's to accept
        {"60", "60", "4000000", ""},
        {" 5 ", "3", "7", ""},
        {"2", "3", "7", txt::kNewsTimerTooShort},
        {"0", "3", "7", txt::kNewsTimerTooShort},
        {"61", "3", "7", "0 から 60 までの整数を入力してください。"},
        {"10", "61", "7", "0 から 60 までの整数を入力してください。"},
        {"10", "-1", "7", txt::kEnterPositiveInteger},
        {"10", "+3", "7", txt::kEnterPositiveInteger},
        {"10", "3 4", "7", txt::kEnterPositiveInteger},
        {"10", "", "7", txt::kEnterPositiveInteger},
        {"10", "３", "7", txt::kEnterPositiveInteger},
        {"10", "3", "12345678901234567890", txt::kEnterPositiveInteger},
        {"10", "3", "4294967295", "0 から 2147483647 までの整数を入力してください。"},
    };
    for (const TimerCase& c : cases) {
        SCOPED_TRACE(std::string(c.news) + " / " + c.mail + " / " + c.days);
        RecordingMessageBoxes boxes;
        CTimerDlg dlg(boxes);
        const ViewSettings before = Defaults();
        dlg.SetValues(before);
        EXPECT_EQ(Edit(dlg, 1003)->text(), QStringLiteral("10"));
        Edit(dlg, 1003)->setText(U(c.news));
        Edit(dlg, 1004)->setText(U(c.mail));
        Edit(dlg, 1005)->setText(U(c.days));
        dlg.accept();
        if (*c.box == '\0') {
            EXPECT_TRUE(Accepted(dlg));
            EXPECT_TRUE(boxes.boxes.empty());
            EXPECT_EQ(dlg.Values().NewsTimer, QString::fromUtf8(c.news).trimmed().toInt());
            EXPECT_EQ(dlg.Values().MailTimer, QString::fromUtf8(c.mail).toInt());
            EXPECT_EQ(dlg.Values().CheckDays, QString::fromUtf8(c.days).toInt());
        } else {
            EXPECT_FALSE(Accepted(dlg));
            ASSERT_EQ(boxes.boxes.size(), 1u);
            EXPECT_EQ(boxes.boxes[0].textUtf8(), c.box);
            EXPECT_TRUE(SameValues(dlg.Values(), before));
        }
    }
}

TEST(TimerDialog, ShortNewsIntervalCautionsAndSelectsTheField) {
    RecordingMessageBoxes boxes;
    CTimerDlg dlg(boxes);
    dlg.SetValues(Defaults());
    Edit(dlg, 1003)->setText(QStringLiteral("2"));
    dlg.accept();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].captionUtf8(), "注意");
    EXPECT_EQ(boxes.boxes[0].icon, BoxIcon::Stop);
    EXPECT_EQ(Edit(dlg, 1003)->selectedText(), QStringLiteral("2"));
    Edit(dlg, 1003)->setText(QStringLiteral("3"));
    dlg.accept();
    EXPECT_TRUE(Accepted(dlg));
    EXPECT_EQ(dlg.Values().NewsTimer, 3);
}

class EnvironmentDialog : public ::testing::Test {
protected:
    RecordingMessageBoxes boxes;
    ScriptedFileChooser files;
    CEnvironmentDlg dlg{boxes, files};
    ViewSettings before = Defaults();
    void SetUp() override { dlg.SetValues(before); }
};

TEST_F(EnvironmentDialog, FilledFromTheSettings) {
    EXPECT_EQ(dlg.windowTitle(), U("環境設定"));
    EXPECT_EQ(Edit(dlg, 1003)->text(), QStringLiteral("your_name"));
    EXPECT_EQ(Edit(dlg, 1012)->text(), QStringLiteral("your.pop.server"));
    EXPECT_EQ(Edit(dlg, 1018)->text(), QStringLiteral("110"));
    EXPECT_EQ(Edit(dlg, 1019)->text(), QStringLiteral("113"));
    EXPECT_TRUE(Check(dlg, 1001)->isChecked());
    EXPECT_FALSE(Check(dlg, 1000)->isChecked());
    // A fresh file: the desktop's applications, on both sides.
    EXPECT_TRUE(Radio(dlg, 1051)->isChecked());
    EXPECT_TRUE(Radio(dlg, 1050)->isChecked());
    EXPECT_EQ(Radio(dlg, 1051)->text(), U("既定のアプリ"));
}

TEST_F(EnvironmentDialog, ReaderButtonsStoreTheirPositions) {
    before.MailReader = 1;  // a stored AL-MAIL stays AL-MAIL
    before.NewsReader = 0;
    dlg.SetValues(before);
    EXPECT_TRUE(Radio(dlg, 1011)->isChecked());
    EXPECT_TRUE(Radio(dlg, 1004)->isChecked());
    Check(dlg, 1000)->click();  // news on, so its buttons take clicks
    const struct {
        int mailId, newsId, mail, news;
    } cases[] = {{1051, 1050, 4, 3}, {1017, 1006, 3, 2}, {1015, 1005, 2, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mailId);
        Radio(dlg, c.mailId)->click();
        Radio(dlg, c.newsId)->click();
        // The program fields serve every choice but the desktop's own application.
        const bool programs = c.mail != 4;
        for (int id : {1013, 1007}) EXPECT_EQ(Edit(dlg, id)->isEnabled(), programs) << id;
        for (int id : {1014, 1008}) EXPECT_EQ(Button(dlg, id)->isEnabled(), programs) << id;
        dlg.accept();
        ASSERT_TRUE(Accepted(dlg));
        EXPECT_EQ(dlg.Values().MailReader, c.mail);
        EXPECT_EQ(dlg.Values().NewsReader, c.news);
    }
}

TEST_F(EnvironmentDialog, ChecksGreyTheirFieldsButTheValuesAreStillTaken) {
    Check(dlg, 1000)->click();  // news on
    Check(dlg, 1002)->click();  // ident on
    Radio(dlg, 1005)->click();  // WinVN, which has a program
    for (int id : {1007, 1009, 1016}) EXPECT_TRUE(Edit(dlg, id)->isEnabled()) << id;
    EXPECT_TRUE(Edit(dlg, 1019)->isEnabled());
    Edit(dlg, 1009)->setText(QStringLiteral("news.example"));
    Edit(dlg, 1016)->setText(QStringLiteral("1119"));

    Check(dlg, 1000)->click();  // news off again
    Check(dlg, 1001)->click();  // mail off
    for (int id : {1007, 1009, 1016, 1013}) EXPECT_FALSE(Edit(dlg, id)->isEnabled()) << id;
    for (int id : {1004, 1005, 1006, 1050, 1010, 1011, 1015, 1017, 1051})
        EXPECT_FALSE(Radio(dlg, id)->isEnabled()) << id;
    EXPECT_FALSE(Button(dlg, 1008)->isEnabled());
    EXPECT_FALSE(Button(dlg, 1014)->isEnabled());
    // The POP server also serves the log-in.
    EXPECT_TRUE(Edit(dlg, 1012)->isEnabled());
    EXPECT_TRUE(Edit(dlg, 1018)->isEnabled());
    EXPECT_TRUE(Edit(dlg, 1019)->isEnabled());
    // The POP choice serves the log-in too; the CA file serves both servers.
    EXPECT_TRUE(Combo(dlg, 1039)->isEnabled());
    EXPECT_TRUE(Edit(dlg, 1041)->isEnabled());
    EXPECT_TRUE(Button(dlg, 1042)->isEnabled());

    dlg.accept();
    ASSERT_TRUE(Accepted(dlg));
    EXPECT_EQ(dlg.Values().NewsCheck, 0);
    EXPECT_EQ(dlg.Values().MailCheck, 0);
    EXPECT_EQ(dlg.Values().Identify, 1);
    EXPECT_EQ(dlg.Values().NNTPServer, "news.example");
    EXPECT_EQ(dlg.Values().NNTPPort, 1119);
    EXPECT_EQ(dlg.Values().NewsReader, 1);
}

TEST_F(EnvironmentDialog, NNTPChoiceGreysWithTheNewsCheckAndIsStillTaken) {
    EXPECT_FALSE(Combo(dlg, 1040)->isEnabled());  // news is off by default
    Check(dlg, 1000)->click();
    ASSERT_TRUE(Combo(dlg, 1040)->isEnabled());
    Combo(dlg, 1040)->setCurrentIndex(2);
    Check(dlg, 1000)->click();
    EXPECT_FALSE(Combo(dlg, 1040)->isEnabled());
    EXPECT_TRUE(Combo(dlg, 1039)->isEnabled());

    // Loading settings with the check on sets the greying from them.
    before.NewsCheck = 1;
    dlg.SetValues(before);
    EXPECT_TRUE(Combo(dlg, 1040)->isEnabled());
    Check(dlg, 1000)->click();
    Combo(dlg, 1040)->setCurrentIndex(2);
    dlg.accept();
    ASSERT_TRUE(Accepted(dlg));
    EXPECT_EQ(dlg.Values().NewsCheck, 0);
    EXPECT_EQ(dlg.Values().NNTPSecurity, 2);
}

struct SecurityCase {
    int pop;
    int news;
    const char* caFile;  // UTF-8
};

// Leaves the settings file empty again, for the tests that start from the defaults.
void ClearStoredSettings() {
    QSettings raw(QStringLiteral("Harrowgate"), QStringLiteral("Kestrel"));
    raw.clear();
    raw.sync();
}

TEST(EnvironmentDialogProtocol, TheMailProtocolChoiceIsStoredBesideTheServer) {
    ClearStoredSettings();
    for (int protocol : {1, 0}) {
        RecordingMessageBoxes boxes;
        ScriptedFileChooser files;
        ViewSettings stored;
        {
            SettingsStore store;
            stored.Load(store);
        }
        CEnvironmentDlg dlg(boxes, files);
        dlg.SetValues(stored);
        ASSERT_EQ(Combo(dlg, 1047)->count(), 2);
        EXPECT_EQ(Combo(dlg, 1047)->currentIndex(), 1 - protocol);
        EXPECT_EQ(Combo(dlg, 1047)->itemText(0), U("POP3"));
        EXPECT_EQ(Combo(dlg, 1047)->itemText(1), U("IMAP"));
        Combo(dlg, 1047)->setCurrentIndex(protocol);
        dlg.accept();
        ASSERT_TRUE(Accepted(dlg));
        {
            SettingsStore store;
            dlg.Values().SaveEnvironment(store);
        }
        SettingsStore store;
        ViewSettings reread;
        reread.Load(store);
        EXPECT_EQ(reread.MailProtocol, protocol);
        EXPECT_EQ(reread.POPSecurity, stored.POPSecurity);
    }
    ClearStoredSettings();
}

// Each case starts from what the one before stored, so every value is seen to change.
TEST(EnvironmentDialogTls, ChoicesRoundTripThroughTheStoredSettings) {
    ClearStoredSettings();
    const SecurityCase cases[] = {
        {1, 2, "/etc/ssl/社内CA.pem"},
        {2, 1, ""},
        {0, 0, "/usr/local/share/ca-certificates/test ca.crt"},
        {2, 2, "ca.pem"},
        {0, 1, ""},
    };
    const char* popTexts[] = {"なし", "STLS", "SSL/TLS (995)"};
    const char* newsTexts[] = {"なし", "STARTTLS", "SSL/TLS (563)"};
    for (const SecurityCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.pop) + "/" + std::to_string(c.news) + " " + c.caFile);
        RecordingMessageBoxes boxes;
        ScriptedFileChooser files;
        ViewSettings stored;
        {
            SettingsStore store;
            stored.Load(store);
        }
        CEnvironmentDlg dlg(boxes, files);
        dlg.SetValues(stored);
        ASSERT_EQ(Combo(dlg, 1039)->count(), 3);
        ASSERT_EQ(Combo(dlg, 1040)->count(), 3);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(Combo(dlg, 1039)->itemText(i), U(popTexts[i]));
            EXPECT_EQ(Combo(dlg, 1040)->itemText(i), U(newsTexts[i]));
        }
        Combo(dlg, 1039)->setCurrentIndex(c.pop);
        Combo(dlg, 1040)->setCurrentIndex(c.news);
        Edit(dlg, 1041)->setText(U(c.caFile));
        dlg.accept();
        ASSERT_TRUE(Accepted(dlg));
        {
            SettingsStore store;
            dlg.Values().SaveEnvironment(store);
        }

        SettingsStore store;
        ViewSettings reread;
        reread.Load(store);
        EXPECT_EQ(reread.POPSecurity, c.pop);
        EXPECT_EQ(reread.NNTPSecurity, c.news);
        EXPECT_EQ(reread.TLSCAFile, sjis(c.caFile));
        CEnvironmentDlg again(boxes, files);
        again.SetValues(reread);
        EXPECT_EQ(Combo(again, 1039)->currentText(), U(popTexts[c.pop]));
        EXPECT_EQ(Combo(again, 1040)->currentText(), U(newsTexts[c.news]));
        EXPECT_EQ(Edit(again, 1041)->text(), U(c.caFile));
        EXPECT_TRUE(boxes.boxes.empty());
    }
    ClearStoredSettings();
}

TEST_F(EnvironmentDialog, CancelTakesNoTlsChoice) {
    before.POPSecurity = 1;
    before.NNTPSecurity = 2;
    before.TLSCAFile = "/etc/ca.pem";
    dlg.SetValues(before);
    EXPECT_EQ(Combo(dlg, 1039)->currentIndex(), 1);
    EXPECT_EQ(Combo(dlg, 1040)->currentIndex(), 2);
    Combo(dlg, 1039)->setCurrentIndex(0);
    Combo(dlg, 1040)->setCurrentIndex(1);
    Edit(dlg, 1041)->setText(QStringLiteral("/tmp/other.pem"));
    Button(dlg, 2)->click();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_TRUE(SameValues(dlg.Values(), before));
}

TEST_F(EnvironmentDialog, StoredChoiceWithoutAnItemIsKept) {
    before.POPSecurity = 5;  // out of the drop-down's range, as a hand-edited file may hold
    dlg.SetValues(before);
    EXPECT_EQ(Combo(dlg, 1039)->currentIndex(), -1);
    dlg.accept();
    ASSERT_TRUE(Accepted(dlg));
    EXPECT_EQ(dlg.Values().POPSecurity, 5);
}

TEST_F(EnvironmentDialog, WhileRunningNoKeepsTheDialogAndTakesNothing) {
    dlg.SetServiceRunning(true);
    Edit(dlg, 1012)->setText(QStringLiteral("pop.example"));
    Edit(dlg, 1018)->setText(QStringLiteral("oops"));
    boxes.answers = {BoxAnswer::No};
    dlg.accept();
    EXPECT_FALSE(Accepted(dlg));
    ASSERT_EQ(boxes.boxes.size(), 1u);  // the question comes before any field is checked
    EXPECT_EQ(boxes.boxes[0].captionUtf8(), "ネットワーク環境の変更");
    EXPECT_EQ(boxes.boxes[0].buttons, BoxButtons::YesNo);
    EXPECT_EQ(boxes.boxes[0].icon, BoxIcon::Question);
    EXPECT_TRUE(SameValues(dlg.Values(), before));

    Edit(dlg, 1018)->setText(QStringLiteral("1110"));
    boxes.answers = {BoxAnswer::Yes};
    dlg.accept();
    EXPECT_TRUE(Accepted(dlg));
    EXPECT_EQ(dlg.Values().POPServer, "pop.example");
    EXPECT_EQ(dlg.Values().POPPort, 1110);
}

TEST_F(EnvironmentDialog, LongTextsAreTakenWholeAndABadPortTakesNothing) {
    const QString longName = QString(1000, QLatin1Char('n'));
    const QString longPath = QString(500, QChar(0x30C6)) + QStringLiteral("/x");  // テ...
    Edit(dlg, 1012)->setText(longName);
    Edit(dlg, 1013)->setText(longPath);
    Edit(dlg, 1020)->setText(QStringLiteral("-106"));
    dlg.accept();
    EXPECT_FALSE(Accepted(dlg));
    EXPECT_EQ(boxes.boxes.at(0).textUtf8(), txt::kEnterPositiveInteger);
    EXPECT_EQ(Edit(dlg, 1020)->selectedText(), QStringLiteral("-106"));
    EXPECT_TRUE(SameValues(dlg.Values(), before));

    Edit(dlg, 1020)->setText(QStringLiteral("106"));
    dlg.accept();
    ASSERT_TRUE(Accepted(dlg));
    EXPECT_EQ(dlg.Values().POPServer, std::string(1000, 'n'));
    EXPECT_EQ(dlg.Values().MailFile.size(), 1002u);  // two bytes a character in CP932
}

TEST_F(EnvironmentDialog, ReaderKindWithoutAButtonIsKeptAsStored) {
    before.MailReader = 7;  // any other value means "others" to the launcher
    dlg.SetValues(before);
    for (int id : {1010, 1011, 1015, 1017, 1051}) EXPECT_FALSE(Radio(dlg, id)->isChecked()) << id;
    dlg.accept();
    ASSERT_TRUE(Accepted(dlg));
    EXPECT_EQ(dlg.Values().MailReader, 7);
}

TEST_F(EnvironmentDialog, BrowseListsAllFilesAndReplacesThePath) {
    Check(dlg, 1000)->click();
    Radio(dlg, 1006)->click();  // readers that have a program
    Radio(dlg, 1017)->click();
    files.answer = QStringLiteral("/usr/bin/slrn");
    Button(dlg, 1008)->click();
    EXPECT_EQ(Edit(dlg, 1007)->text(), QStringLiteral("/usr/bin/slrn"));
    files.answer.reset();
    Button(dlg, 1014)->click();  // cancelled: the text stays
    EXPECT_EQ(Edit(dlg, 1013)->text(), U(txt::kDefaultMailFile));
    files.answer = U("/etc/ssl/社内CA.pem");
    Button(dlg, 1042)->click();
    EXPECT_EQ(Edit(dlg, 1041)->text(), U("/etc/ssl/社内CA.pem"));
    ASSERT_EQ(files.initialNames.size(), 3u);
    EXPECT_TRUE(files.initialNames[0].isEmpty());
    EXPECT_TRUE(files.initialNames[2].isEmpty());
}

TEST(SoundDialog, UncheckingGreysTheFileWhichIsStillTaken) {
    RecordingMessageBoxes boxes;
    ScriptedFileChooser files;
    CSoundDlg dlg(boxes, files);
    dlg.SetValues(Defaults());
    EXPECT_TRUE(Edit(dlg, 1003)->isEnabled());
    files.answer = QStringLiteral("/usr/share/sounds/ring.wav");
    Button(dlg, 1031)->click();
    ASSERT_EQ(files.initialNames.size(), 1u);
    EXPECT_EQ(files.initialNames[0], QStringLiteral("*.wav"));
    Check(dlg, 1030)->click();
    EXPECT_FALSE(Edit(dlg, 1003)->isEnabled());
    EXPECT_FALSE(Button(dlg, 1031)->isEnabled());
    dlg.accept();
    ASSERT_TRUE(Accepted(dlg));
    EXPECT_EQ(dlg.Values().Sound, 0);
    EXPECT_EQ(dlg.Values().SoundFile, "/usr/share/sounds/ring.wav");
}

TEST(UserInterfaceDialog, TakesBothChecks) {
    RecordingMessageBoxes boxes;
    CUserInterfaceDlg dlg(boxes);
    dlg.SetValues(Defaults());
    Check(dlg, 1034)->click();
    dlg.accept();
    ASSERT_TRUE(Accepted(dlg));
    EXPECT_EQ(dlg.Values().BeIcon, 0);
    EXPECT_EQ(dlg.Values().BePopup, 1);
}

// A click where the box is drawn: the row is wider than the short label, so its middle is
// not on the check box.
void ClickIndicator(QAbstractButton* check) {
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(6, check->height() / 2));
}

// The start with the session is the autostart entry under the test's own XDG_CONFIG_HOME:
// clicked on and OK writes it, Cancel writes nothing, clicked off and OK removes it.
TEST(UserInterfaceDialog, StartWithTheSessionWritesAndRemovesTheAutostartEntry) {
    const QString file = qEnvironmentVariable("XDG_CONFIG_HOME") +
                         QStringLiteral("/autostart/jp.co.harrowgate.Kestrel.desktop");
    QFile::remove(file);
    RecordingMessageBoxes boxes;
    const auto clickAndClose = [&](int button) {
        CUserInterfaceDlg dlg(boxes);
        dlg.SetValues(Defaults());
        const bool before = Check(dlg, 1036)->isChecked();
        EXPECT_EQ(before, QFileInfo::exists(file));
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        ClickIndicator(Check(dlg, 1036));
        EXPECT_NE(Check(dlg, 1036)->isChecked(), before);
        QTest::mouseClick(Button(dlg, button), Qt::LeftButton);
        EXPECT_EQ(Accepted(dlg), button == 1);
        // The stored values are the dialog's as before.
        EXPECT_EQ(dlg.Values().BeIcon, 1);
        EXPECT_EQ(dlg.Values().BePopup, 1);
    };

    clickAndClose(2);
    EXPECT_FALSE(QFileInfo::exists(file));
    clickAndClose(1);
    ASSERT_TRUE(QFileInfo::exists(file));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.contains("\nExec=" + QCoreApplication::applicationFilePath().toUtf8() + "\n"))
        << text.toStdString();
    clickAndClose(1);
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST(UserInterfaceDialog, AnEntryThatCannotBeWrittenKeepsTheDialogOpen) {
    const QString dir = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/autostart");
    QDir(dir).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(qEnvironmentVariable("XDG_CONFIG_HOME")));
    {
        QFile blocker(dir);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    RecordingMessageBoxes boxes;
    CUserInterfaceDlg dlg(boxes);
    dlg.SetValues(Defaults());
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    ClickIndicator(Check(dlg, 1036));
    ASSERT_TRUE(Check(dlg, 1036)->isChecked());
    QTest::mouseClick(Button(dlg, 1), Qt::LeftButton);
    EXPECT_FALSE(Accepted(dlg));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].textUtf8(), txt::kAutostartFailed);
    QFile::remove(dir);
}

TEST(CommunicatorDialog, NicknameCheckLooksAtCharactersNotBytes) {
    struct Case {
        const char* nick;
        bool accepted;
    };
    // ゼ and ゾ end in the bytes of "[" and "]" in CP932.
    const Case cases[] = {{"ゼゾ", true}, {"山田", true}, {"", true},     {"ab]", false},
                          {"[ab", false}, {"ゼ]", false}, {"a:b", false}, {"<a>", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nick);
        RecordingMessageBoxes boxes;
        CCommunicatorDlg dlg(boxes);
        dlg.SetValues(Defaults());
        Edit(dlg, 1023)->setText(U(c.nick));
        dlg.accept();
        EXPECT_EQ(Accepted(dlg), c.accepted);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        if (c.accepted) {
            EXPECT_EQ(boxes.boxes[0].captionUtf8(), "お願い");
            EXPECT_EQ(boxes.boxes[0].textUtf8(), txt::kCommRestartNotice);
            EXPECT_EQ(dlg.Values().AliaseName, sjis(c.nick));
        } else {
            EXPECT_EQ(boxes.boxes[0].captionUtf8(), "注意");
            EXPECT_EQ(boxes.boxes[0].icon, BoxIcon::Stop);
            EXPECT_EQ(dlg.Values().AliaseName, "your_name");
        }
    }
}

TEST(CommunicatorDialog, ChatOffGreysEverythingAndABadPortStaysOpen) {
    RecordingMessageBoxes boxes;
    CCommunicatorDlg dlg(boxes);
    dlg.SetValues(Defaults());
    EXPECT_EQ(Edit(dlg, 1022)->text(), QStringLiteral("2425"));
    EXPECT_EQ(Edit(dlg, 1006)->text(), QStringLiteral("No Support"));
    EXPECT_FALSE(Check(dlg, 1055)->isEnabled());
    EXPECT_FALSE(Edit(dlg, 1006)->isEnabled());
    EXPECT_TRUE(Edit(dlg, 1023)->isEnabled());
    Check(dlg, 1024)->click();
    for (int id : {1006, 1021, 1022, 1023}) EXPECT_FALSE(Edit(dlg, id)->isEnabled()) << id;

    Edit(dlg, 1022)->setText(QStringLiteral("２４２５"));
    dlg.accept();
    EXPECT_FALSE(Accepted(dlg));
    EXPECT_EQ(boxes.boxes.at(0).textUtf8(), txt::kEnterPositiveInteger);
    Edit(dlg, 1022)->setText(QStringLiteral("2426"));
    dlg.accept();
    ASSERT_TRUE(Accepted(dlg));
    EXPECT_EQ(dlg.Values().Chating, 0);
    EXPECT_EQ(dlg.Values().ChatPort, 2426);
}

}  // namespace
}  // namespace kestrel
