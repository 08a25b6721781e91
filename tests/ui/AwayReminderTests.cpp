// The away reminder: what it shows, where, with the focus where, and how it ends.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <memory>

#include <gtest/gtest.h>

#include "platform/Timing.h"
#include "res/TextsPresence.h"
#include "ui/CAwayReminderDlg.h"

namespace kestrel {
namespace {

// While the dialog runs its own loop, act on it once it is up: shown and active, since the
// window system activates it (and so gives its button the focus) a moment after it shows.
// Should it never become active, act after two seconds all the same and let the checks say so.
void WhenShown(CAwayReminderDlg& dlg, std::function<void()> act) {
    auto* poll = new QTimer(&dlg);
    auto waited = std::make_shared<QElapsedTimer>();
    QObject::connect(poll, &QTimer::timeout, &dlg, [&dlg, poll, act, waited] {
        if (!dlg.isVisible()) return;
        if (!waited->isValid()) waited->start();
        if (!dlg.isActiveWindow() && waited->elapsed() < 2000) return;
        poll->stop();
        act();
    });
    poll->start(5);
}

TEST(AwayReminder, ShowsItsTextsCentredWithTheFocusOnItsButton) {
    Timing timing;
    timing.reminderCloseMs = 60000;  // the user answers long before
    CAwayReminderDlg dlg(timing);
    bool checked = false;
    WhenShown(dlg, [&] {
        EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8(txt::kReminderCaption));
        EXPECT_EQ(dlg.Text()->text(), QString::fromUtf8(txt::kReminderText));
        EXPECT_EQ(dlg.Text()->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
        EXPECT_EQ(dlg.BackButton()->text(), QString::fromUtf8(txt::kReminderBackButton));
        EXPECT_EQ(dlg.BackButton()->objectName(), QStringLiteral("button1"));
        EXPECT_EQ(dlg.font().pointSize(), 22);
        EXPECT_TRUE(dlg.isModal());
        EXPECT_EQ(QApplication::focusWidget(), dlg.BackButton());
        // Text and button fit inside the window, the button below the text.
        EXPECT_TRUE(dlg.rect().contains(dlg.Text()->geometry()));
        EXPECT_TRUE(dlg.rect().contains(dlg.BackButton()->geometry()));
        EXPECT_GE(dlg.BackButton()->y(), dlg.Text()->geometry().bottom());
        const QPoint screenCentre = dlg.screen()->geometry().center();
        EXPECT_LE((dlg.frameGeometry().center() - screenCentre).manhattanLength(), 2);
        checked = true;
        QTest::keyClick(&dlg, Qt::Key_Return);
    });
    EXPECT_TRUE(dlg.Show());  // Enter presses the focused button
    EXPECT_TRUE(checked);
}

TEST(AwayReminder, ClosesItselfAsCancelledEachTimeItShows) {
    Timing timing;
    timing.reminderCloseMs = 150;
    CAwayReminderDlg dlg(timing);
    for (int showing = 0; showing < 2; ++showing) {
        SCOPED_TRACE(showing);
        QElapsedTimer clock;
        clock.start();
        EXPECT_FALSE(dlg.Show());
        EXPECT_GE(clock.elapsed(), 140);
        EXPECT_FALSE(dlg.isVisible());
    }
}

TEST(AwayReminder, ItsButtonAnswersBackToPresentAndEscapeDoesNot) {
    Timing timing;
    timing.reminderCloseMs = 60000;
    CAwayReminderDlg dlg(timing);
    WhenShown(dlg, [&] { QTest::mouseClick(dlg.BackButton(), Qt::LeftButton); });
    EXPECT_TRUE(dlg.Show());
    WhenShown(dlg, [&] { QTest::keyClick(&dlg, Qt::Key_Escape); });
    EXPECT_FALSE(dlg.Show());
    // A late close timer of the earlier showing must not end the next one.
    timing.reminderCloseMs = 100;
    CAwayReminderDlg quick(timing);
    WhenShown(quick, [&] { QTest::mouseClick(quick.BackButton(), Qt::LeftButton); });
    EXPECT_TRUE(quick.Show());
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(quick.Show());
    EXPECT_GE(clock.elapsed(), 90);
}

}  // namespace
}  // namespace kestrel
