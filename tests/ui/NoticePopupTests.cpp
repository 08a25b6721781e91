#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

#include "platform/QtText.h"
#include "res/Cp932.h"
#include "tests/fakes/FakeReaderLauncher.h"
#include "tests/support/Spin.h"
#include "ui/CMailNoticeDlg.h"
#include "ui/CNewsMailNoticeDlg.h"
#include "ui/CNewsNoticeDlg.h"

namespace kestrel {
namespace {

using Calls = std::vector<std::string>;

const std::string kMailText = utf8ToCp932("新しいメールを受信しました\n(未読メールは3件です)");

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

template <typename T>
T* Child(QWidget& dlg, const char* name) {
    T* child = dlg.findChild<T*>(QLatin1String(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

QStringList Rows(QWidget& dlg) {
    QStringList rows;
    auto* list = Child<QListWidget>(dlg, "groups");
    for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text();
    return rows;
}

void Select(QWidget& dlg, const QString& text) {
    auto* list = Child<QListWidget>(dlg, "groups");
    const auto found = list->findItems(text, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    list->setCurrentItem(found.constFirst());
}

void Click(QWidget& dlg, const char* button) {
    QTest::mouseClick(Child<QPushButton>(dlg, button), Qt::LeftButton);
}

TEST(NoticePopups, CaptionsButtonsAndTheDefaultButton) {
    test::FakeReaderLauncher launcher;
    CNewsMailNoticeDlg newsMail(launcher);
    CNewsNoticeDlg news(launcher);
    CMailNoticeDlg mail(launcher);
    struct Case {
        QDialog* dlg;
        const char* caption;
        std::vector<std::pair<const char*, const char*>> buttons;
    };
    const Case cases[] = {
        {&newsMail,
         "新規ニュース/メール通知",
         {{"readArticles", "記事を読む"},
          {"receiveMail", "メールを受信する"},
          {"close", "閉じる"}}},
        {&news, "新規ニュース通知", {{"readArticles", "記事を読む"}, {"close", "閉じる"}}},
        {&mail, "新規メール着信通知", {{"receiveMail", "メールを受信する"}, {"close", "閉じる"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        EXPECT_EQ(c.dlg->windowTitle(), u(c.caption));
        EXPECT_TRUE(c.dlg->isModal());
        EXPECT_FALSE(c.dlg->windowFlags() & Qt::WindowSystemMenuHint);
        const auto buttons = c.dlg->findChildren<QPushButton*>();
        EXPECT_EQ(buttons.size(), static_cast<qsizetype>(c.buttons.size()));
        for (const auto& [name, text] : c.buttons) {
            auto* button = Child<QPushButton>(*c.dlg, name);
            ASSERT_NE(button, nullptr);
            EXPECT_EQ(button->text(), u(text));
            EXPECT_EQ(button->isDefault(), std::string(name) == "close") << name;
        }
        // Every control lies inside the popup and no two overlap.
        const auto controls = c.dlg->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* a : controls) {
            EXPECT_TRUE(c.dlg->rect().contains(a->geometry())) << a->objectName().toStdString();
            for (QWidget* b : controls) {
                if (a != b) {
                    EXPECT_FALSE(a->geometry().intersects(b->geometry()));
                }
            }
        }
    }
}

TEST(NoticePopups, MailTextReplacesTheTemplateWhenShown) {
    test::FakeReaderLauncher launcher;
    CNewsMailNoticeDlg newsMail(launcher);
    CMailNoticeDlg mail(launcher);
    for (QDialog* dlg : {static_cast<QDialog*>(&newsMail), static_cast<QDialog*>(&mail)}) {
        EXPECT_EQ(Child<QLabel>(*dlg, "mailText")->text(), u("未読メール数"));
    }
    newsMail.SetNewGroups("fj.a ");
    newsMail.SetMailText(kMailText);
    mail.SetMailText(kMailText);
    newsMail.show();
    mail.show();
    for (QDialog* dlg : {static_cast<QDialog*>(&newsMail), static_cast<QDialog*>(&mail)}) {
        EXPECT_EQ(Child<QLabel>(*dlg, "mailText")->text(),
                  u("新しいメールを受信しました\n(未読メールは3件です)"));
    }
}

TEST(NoticePopups, GroupsAreListedSortedWithTheHeader) {
    test::FakeReaderLauncher launcher;
    CNewsNoticeDlg dlg(launcher);
    EXPECT_EQ(Child<QLabel>(dlg, "header")->text(), u("新しい記事が投稿されています"));
    dlg.SetNewGroups("fj.b fj.a Fj.C fj.B ");
    dlg.show();
    EXPECT_EQ(Rows(dlg), (QStringList{u("fj.a"), u("fj.B"), u("fj.b"), u("Fj.C")}));
    EXPECT_EQ(Child<QLabel>(dlg, "header")->text(), u("新しい記事が投稿されています"));
    EXPECT_FALSE(dlg.NoNews());
}

TEST(NoticePopups, NoGroupsSayNoNewArticles) {
    test::FakeReaderLauncher launcher;
    CNewsMailNoticeDlg dlg(launcher);
    dlg.show();
    EXPECT_EQ(Child<QLabel>(dlg, "header")->text(), u("新しい記事は投稿されていません"));
    EXPECT_TRUE(Rows(dlg).isEmpty());
    EXPECT_TRUE(dlg.NoNews());
}

TEST(NoticePopups, AtMostSixtyGroupsAreListed) {
    std::string groups;
    for (int i = 0; i < 61; ++i) groups += "g" + std::to_string(100 + i) + " ";
    test::FakeReaderLauncher launcher;
    CNewsNoticeDlg dlg(launcher);
    dlg.SetNewGroups(groups);
    dlg.show();
    const QStringList rows = Rows(dlg);
    EXPECT_EQ(rows.size(), 60);
    EXPECT_EQ(rows.constFirst(), u("g100"));
    EXPECT_EQ(rows.constLast(), u("g159"));
}

TEST(NoticePopups, SplitGroupsTakesEachNameUpToItsBlank) {
    using V = std::vector<std::string>;
    EXPECT_EQ(NewsNoticeDlg::SplitGroups("fj.a fj.b ", 60), (V{"fj.a", "fj.b"}));
    EXPECT_EQ(NewsNoticeDlg::SplitGroups("fj.a  fj.b", 60), (V{"fj.a", "fj.b"}));
    EXPECT_EQ(NewsNoticeDlg::SplitGroups("a b c ", 2), (V{"a", "b"}));
    EXPECT_EQ(NewsNoticeDlg::SplitGroups(" ", 60), V{});
    EXPECT_EQ(NewsNoticeDlg::SplitGroups("", 60), V{});
}

TEST(NoticePopups, ReadArticlesNeedsASelectionAndKeepsThePopupOpen) {
    for (bool newsMail : {false, true}) {
        SCOPED_TRACE(newsMail);
        test::FakeReaderLauncher launcher;
        std::unique_ptr<NewsNoticeDlg> dlg;
        if (newsMail)
            dlg = std::make_unique<CNewsMailNoticeDlg>(launcher);
        else
            dlg = std::make_unique<CNewsNoticeDlg>(launcher);
        const std::string japanese = utf8ToCp932("fj.日本語");
        dlg->SetNewGroups("fj.b fj.a " + japanese + " ");
        dlg->show();

        Click(*dlg, "readArticles");
        EXPECT_TRUE(launcher.calls.empty());

        Select(*dlg, u("fj.b"));
        Click(*dlg, "readArticles");
        Select(*dlg, fromSjis(japanese));
        Click(*dlg, "readArticles");
        EXPECT_EQ(launcher.calls, (Calls{"news fj.b", "news " + japanese}));
        EXPECT_TRUE(dlg->isVisible());
    }
}

TEST(NoticePopups, DoubleClickOnAGroupReadsIt) {
    test::FakeReaderLauncher launcher;
    CNewsNoticeDlg dlg(launcher);
    dlg.SetNewGroups("fj.b fj.a ");
    dlg.show();
    auto* list = Child<QListWidget>(dlg, "groups");
    const QRect second = list->visualItemRect(list->item(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(launcher.calls, Calls{"news fj.b"});
    EXPECT_TRUE(dlg.isVisible());
}

TEST(NoticePopups, GroupTextIsCutAt255BytesWithoutSplittingACharacter) {
    const std::string kanji = utf8ToCp932("日");
    ASSERT_EQ(kanji.size(), 2u);
    EXPECT_EQ(NewsNoticeDlg::LimitGroupText(std::string(255, 'a')), std::string(255, 'a'));
    EXPECT_EQ(NewsNoticeDlg::LimitGroupText(std::string(300, 'a')), std::string(255, 'a'));
    EXPECT_EQ(NewsNoticeDlg::LimitGroupText(std::string(254, 'a') + kanji + "b"),
              std::string(254, 'a'));
    EXPECT_EQ(NewsNoticeDlg::LimitGroupText(std::string(253, 'a') + kanji + "b"),
              std::string(253, 'a') + kanji);
}

TEST(NoticePopups, ReceiveMailInNewsMailPopupClosesOnlyWithoutNews) {
    {
        test::FakeReaderLauncher launcher;
        CNewsMailNoticeDlg dlg(launcher);
        dlg.SetNewGroups("fj.a ");
        dlg.SetMailText(kMailText);
        dlg.show();
        Click(dlg, "receiveMail");
        EXPECT_EQ(launcher.calls, Calls{"mail"});
        EXPECT_TRUE(dlg.isVisible());
    }
    {
        test::FakeReaderLauncher launcher;
        CNewsMailNoticeDlg dlg(launcher);
        dlg.SetMailText(kMailText);
        dlg.show();
        Click(dlg, "receiveMail");
        EXPECT_EQ(launcher.calls, Calls{"mail"});
        EXPECT_FALSE(dlg.isVisible());
    }
}

TEST(NoticePopups, ReceiveMailInMailPopupLaunchesAndCloses) {
    test::FakeReaderLauncher launcher;
    CMailNoticeDlg dlg(launcher);
    dlg.SetMailText(kMailText);
    dlg.show();
    Click(dlg, "receiveMail");
    EXPECT_EQ(launcher.calls, Calls{"mail"});
    EXPECT_FALSE(dlg.isVisible());
}

TEST(NoticePopups, CloseEscapeAndEnterCloseTheNewsConversationAndThePopup) {
    enum class How { Button, Escape, Enter };
    for (How how : {How::Button, How::Escape, How::Enter}) {
        SCOPED_TRACE(static_cast<int>(how));
        test::FakeReaderLauncher newsLauncher, newsMailLauncher, mailLauncher;
        CNewsNoticeDlg news(newsLauncher);
        CNewsMailNoticeDlg newsMail(newsMailLauncher);
        CMailNoticeDlg mail(mailLauncher);
        for (QDialog* dlg : {static_cast<QDialog*>(&news), static_cast<QDialog*>(&newsMail),
                             static_cast<QDialog*>(&mail)}) {
            if (auto* newsDlg = dynamic_cast<NewsNoticeDlg*>(dlg)) {
                newsDlg->SetNewGroups("fj.a fj.b ");
            }
            dlg->show();
            if (auto* list = dlg->findChild<QListWidget*>()) {
                // Even with a group chosen and the list focused, Enter means "閉じる".
                Select(*dlg, u("fj.a"));
                list->setFocus();
            } else {
                Child<QPushButton>(*dlg, "receiveMail")->setFocus();  // even from another button
            }
            switch (how) {
                case How::Button:
                    Click(*dlg, "close");
                    break;
                case How::Escape:
                    QTest::keyClick(dlg->focusWidget() ? dlg->focusWidget() : dlg, Qt::Key_Escape);
                    break;
                case How::Enter:
                    QTest::keyClick(dlg->focusWidget() ? dlg->focusWidget() : dlg, Qt::Key_Return);
                    break;
            }
            EXPECT_FALSE(dlg->isVisible());
            EXPECT_EQ(dlg->result(), QDialog::Rejected);
        }
        EXPECT_EQ(newsLauncher.calls, Calls{"close"});
        EXPECT_EQ(newsMailLauncher.calls, Calls{"close"});
        EXPECT_TRUE(mailLauncher.calls.empty());
    }
}

TEST(NoticePopups, PlacementIsOneEighthOfTheFreeSpace) {
    struct Case {
        int sw, sh, w, h;
        QPoint at;
    };
    const Case cases[] = {
        {1024, 768, 300, 200, {90, 71}},
        {800, 600, 800, 600, {0, 0}},
        {640, 480, 1000, 500, {-45, -2}},  // toward zero, not down
    };
    for (const Case& c : cases) EXPECT_EQ(NoticeDlg::Placement(c.sw, c.sh, c.w, c.h), c.at);

    test::FakeReaderLauncher launcher;
    CMailNoticeDlg dlg(launcher);
    dlg.show();
    const QRect screen = dlg.screen()->geometry();
    const QRect frame = dlg.frameGeometry();
    EXPECT_EQ(frame.topLeft(),
              screen.topLeft() + NoticeDlg::Placement(screen.width(), screen.height(),
                                                      frame.width(), frame.height()));
    EXPECT_NE(frame.topLeft(), QPoint(0, 0));
}

}  // namespace
}  // namespace kestrel
