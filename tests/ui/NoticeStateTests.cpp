#include <gtest/gtest.h>

#include "res/Cp932.h"
#include "res/Ids.h"
#include "ui/NoticeState.h"

namespace kestrel {
namespace {

using Popup = NoticeState::Popup;

struct Step {
    enum Kind { Mail, News, Close } kind;
    unsigned count = 0;
    const char* groups = "";
    bool present = true;
    // expected
    bool sound = false;
    int icon = 0;
    bool notice = false;
};

void RunSteps(const std::vector<Step>& steps) {
    NoticeState s;
    int n = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(::testing::Message() << "step " << n++);
        NoticeState::Effects fx;
        if (step.kind == Step::Mail)
            fx = s.OnUnreadMail(step.count, true, true, step.present);
        else if (step.kind == Step::News)
            fx = s.OnNewNews(step.groups, 60, true, true, step.present);
        else
            fx.icon = s.AfterPopupClosed(true);
        EXPECT_EQ(fx.playSound, step.sound);
        EXPECT_EQ(fx.icon, step.icon);
        EXPECT_EQ(fx.postNotice, step.notice);
    }
}

TEST(NoticeState, MailSoundAndPopupOnlyWhenPendingBecomesSet) {
    RunSteps({
        {Step::Mail, 0, "", true, false, 0, false},       // nothing pending: count only
        {Step::Mail, 3, "", true, true, IDI_MAIL, true},  // 0 -> 1: sound, icon, popup
        {Step::Mail, 3, "", true, false, 0, false},       // still pending: nothing
        {Step::Mail, 4, "", true, false, 0, false},
        {Step::Close, 0, "", true, false, IDI_RUNNING, false},  // popup closed: forgotten
        {Step::Mail, 3, "", true, true, IDI_MAIL, true},        // pending again
        {Step::Mail, 0, "", true, false, IDI_RUNNING, false},   // read elsewhere: back to idle
    });
}

TEST(NoticeState, IconFollowsBothPendingStates) {
    RunSteps({
        {Step::News, 0, "fj.a ", true, true, IDI_NEWS, true},
        {Step::Mail, 2, "", true, true, IDI_NEWS_AND_MAIL, true},
        {Step::Mail, 0, "", true, false, IDI_NEWS, false},
        {Step::Mail, 1, "", true, true, IDI_NEWS_AND_MAIL, true},
        {Step::Close, 0, "", true, false, IDI_RUNNING, false},
        {Step::Mail, 1, "", true, true, IDI_MAIL, true},
        {Step::News, 0, "fj.b ", true, true, IDI_NEWS_AND_MAIL, true},
    });
}

TEST(NoticeState, AwayUserGetsIconAndSoundButNoPopup) {
    RunSteps({
        {Step::Mail, 1, "", false, true, IDI_MAIL, false},
        {Step::News, 0, "fj.a ", false, true, IDI_NEWS_AND_MAIL, false},
    });
}

TEST(NoticeState, NewsGroupsMergeWithoutRepeatsButEveryReportRings) {
    NoticeState s;
    s.OnNewNews("fj.b fj.a ", 60, true, true, true);
    const auto fx = s.OnNewNews("fj.a fj.c ", 60, true, true, true);
    EXPECT_EQ(s.NewGroups(), "fj.b fj.a fj.c ");
    EXPECT_TRUE(fx.playSound);
    EXPECT_TRUE(fx.postNotice);
    // A name that only contains a listed one is a different group.
    s.OnNewNews("fj.a.b ", 60, true, true, true);
    EXPECT_EQ(s.NewGroups(), "fj.b fj.a fj.c fj.a.b ");
}

TEST(NoticeState, MergeTakesAtMostTheGroupLimit) {
    NoticeState s;
    s.OnNewNews("x ", 60, false, false, true);
    s.OnNewNews("a b c d ", 2, false, false, true);
    EXPECT_EQ(s.NewGroups(), "x a b ");
}

TEST(NoticeState, PopupChoiceAndMailText) {
    NoticeState s;
    EXPECT_EQ(s.ChoosePopup(), Popup::None);
    s.OnUnreadMail(3, false, false, true);
    EXPECT_EQ(s.ChoosePopup(), Popup::Mail);
    EXPECT_EQ(cp932ToUtf8(s.MailText()), "新しいメールを受信しました\n(未読メールは3件です)");
    s.OnNewNews("fj.a ", 60, false, false, true);
    EXPECT_EQ(s.ChoosePopup(), Popup::NewsAndMail);
    s.OnUnreadMail(0, false, false, true);
    EXPECT_EQ(s.ChoosePopup(), Popup::News);
    EXPECT_EQ(s.AfterPopupClosed(false), IDI_STOPPED);
    EXPECT_EQ(s.ChoosePopup(), Popup::None);
    EXPECT_EQ(s.UnreadCount(), 0u);
    EXPECT_TRUE(s.NewGroups().empty());
}

}  // namespace
}  // namespace kestrel
