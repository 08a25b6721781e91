// The presence watch inside the view: the form's radios and places, the tray's presence
// items, the screen-saver poll that each service start sets, the CheckSaver command, and
// what reaches the peer chat.
#include <QComboBox>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/CStatusForm.h"
#include "app/PresenceWatch.h"
#include "chat_ui/PeerChatLink.h"
#include "platform/ScreenSaver.h"
#include "platform/Timing.h"
#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsUi.h"
#include "settings/SettingKeys.h"
#include "tests/app/ViewTestSupport.h"
#include "tests/support/Spin.h"

namespace kestrel {
namespace {

using test::SpinFor;
using test::SpinUntil;
using Said = std::vector<std::string>;

// A chat link that writes down what each announcement would carry: "present", or the
// whereabouts while away.
class AnnouncingChat final : public PeerChatLink {
public:
    AnnouncingChat(const LocalIdentity& me, Said& said) : m_me(me), m_said(said) {}
    bool Start() override { return true; }
    void Stop() override {}
    void PresenceChanged() override {
        m_said.push_back(m_me.present ? "present" : std::string(m_me.whereabouts));
    }
    void BroadcastListChanged() override {}
    bool ChatWindowOpen() const override { return false; }
    bool MemberListOpen() const override { return false; }
    void OpenChatWindow() override {}
    void OpenMemberList(bool) override {}
    void ForwardMemberEvent(MessageEvent&) override {}
    void ForwardPeerMessage(MessageEvent&) override {}
    // The chat's own windows play no part in presence; these stand for them as the link
    // grows, without being asked for here.
    void CloseMemberList() {}
    QObject* ChatWindow() { return nullptr; }

private:
    const LocalIdentity& m_me;
    Said& m_said;
};

struct FakeSaver final : ScreenSaver {
    bool running = false;
    int closes = 0;
    bool IsActive() override { return running; }
    void Close() override {
        ++closes;
        running = false;
    }
};

struct FakeReminder final : AwayReminder {
    std::deque<bool> answers;  // one per showing; none left: it closes by itself
    int shown = 0;
    bool Show() override {
        ++shown;
        if (answers.empty()) return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
};

class ViewPresenceTest : public test::ViewTest {
protected:
    // The view as the application makes it, with the presence parts replaced by fakes.
    void BuildPresence(int chating, const Timing& t = ProgramTiming().Scaled(1000)) {
        timing = t;
        store->Write(key::Chating, chating);
        store->Write(key::MailCheck, 0);
        store->Write(key::Places, sjis("Kaigi~:_Toilet~:_Lunch~:_"));
        // Whatever the maker is handed, the link only needs the identity it announces.
        makePeerChat = [this](auto&&...) {
            return std::make_unique<AnnouncingChat>(identity, said);
        };
        values.iconise = 0;
        frame = std::make_unique<CMainFrame>(values, notices, sound);
        view = new CKestrelView(ViewContext{values, identity, *store, boxes, *frame, workers, login,
                                            passwords, makePeerChat, clock, &saver, &reminder,
                                            timing});
        frame->SetClient(view);
        frame->SetForm(view);
        view->Service().StartService();  // fills the places
    }
    CStatusForm& form() { return view->Form(); }
    bool Armed(int id) { return view->Presence().Timers().IsActive(id); }

    Said said;
    FakeSaver saver;
    FakeReminder reminder;
    Timing timing;
    const std::string unknown = sjis(txt::kTrayWhereaboutsUnknown);
};

TEST_F(ViewPresenceTest, RadiosAndTrayItemsSwitchPresenceAndAnnounceEachChangeOnce) {
    BuildPresence(1);
    form().AwayButton()->click();
    EXPECT_EQ(said, Said{unknown});
    EXPECT_EQ(identity.present, 0);
    EXPECT_TRUE(form().PlacesCombo()->isEnabled());
    EXPECT_TRUE(Armed(TIMER_AWAY_REMINDER));
    EXPECT_FALSE(view->UserPresent());

    // A place picked in the combo while away.
    form().PlacesCombo()->setCurrentIndex(form().PlacesCombo()->findText(QStringLiteral("Lunch")));
    emit form().PlacesCombo()->activated(form().PlacesCombo()->currentIndex());
    EXPECT_EQ(said.back(), "Lunch");

    form().PresentButton()->click();
    EXPECT_EQ(said, (Said{unknown, "Lunch", "present"}));
    EXPECT_FALSE(Armed(TIMER_AWAY_REMINDER));
    EXPECT_FALSE(form().PlacesCombo()->isEnabled());
    EXPECT_EQ(form().PlacesCombo()->currentIndex(), -1);
    EXPECT_EQ(saver.closes, 1);

    // Present again: nothing goes out.
    form().PresentButton()->click();
    view->PressPresent();
    EXPECT_EQ(said.size(), 3u);

    // The tray's items press the radios.
    view->PressAway();
    EXPECT_EQ(said.back(), unknown);
    view->PressPresent();
    EXPECT_EQ(said.back(), "present");
    EXPECT_EQ(said.size(), 5u);
}

TEST_F(ViewPresenceTest, TrayPlaceWhilePresentAnnouncesTwiceTheLastWithThePlace) {
    BuildPresence(1);
    view->ChoosePlace("toi");  // the first place beginning so, letter case ignored
    EXPECT_EQ(said, (Said{unknown, "Toilet"}));
    EXPECT_TRUE(form().AwayButton()->isChecked());
    EXPECT_EQ(view->Whereabouts(), "Toilet");

    view->ChoosePlace("Kaigi");  // already away: only the place changes
    view->ChoosePlace("Nowhere");
    EXPECT_EQ(said, (Said{unknown, "Toilet", "Kaigi"}));
}

TEST_F(ViewPresenceTest, WithoutThePeerChatNothingMovesOrPolls) {
    BuildPresence(0);
    EXPECT_FALSE(Armed(TIMER_SAVER_POLL));
    view->ChoosePlace("Kaigi");
    form().AwayButton()->setEnabled(true);  // even a click that gets through
    form().AwayButton()->click();
    EXPECT_EQ(identity.present, 1);
    EXPECT_EQ(form().PlacesCombo()->currentIndex(), -1);
    EXPECT_FALSE(Armed(TIMER_AWAY_REMINDER));
}

TEST_F(ViewPresenceTest, EveryServiceStartSetsThePollWhileTheChatExists) {
    BuildPresence(1);
    EXPECT_TRUE(Armed(TIMER_SAVER_POLL));
    EXPECT_EQ(view->Presence().Timers().Interval(TIMER_SAVER_POLL), timing.saverPollMs);
}

// Real timers, scaled down: the saver takes the user away once, the reminder waits until it
// stops, and its button brings the user back.
TEST_F(ViewPresenceTest, SaverTakesTheUserAwayAndTheReminderBringsThemBack) {
    BuildPresence(1, ProgramTiming().Scaled(0.005));  // poll 5 ms, away 100 ms, reminder 150 ms
    saver.running = true;
    ASSERT_TRUE(SpinUntil([&] { return !said.empty(); }, 3000));
    EXPECT_EQ(said, Said{unknown});
    SpinFor(timing.saverAwayMs * 3);
    EXPECT_EQ(said, Said{unknown});  // not again while it keeps running
    EXPECT_EQ(reminder.shown, 0);    // nor any reminder

    reminder.answers = {false, true};
    saver.running = false;
    ASSERT_TRUE(SpinUntil([&] { return reminder.shown == 2; }, 3000));
    EXPECT_EQ(said, (Said{unknown, "present"}));
    EXPECT_EQ(identity.present, 1);
    EXPECT_TRUE(form().PresentButton()->isChecked());
    EXPECT_EQ(saver.closes, 1);
    SpinFor(timing.awayReminderMs * 2);
    EXPECT_EQ(reminder.shown, 2);
}

TEST_F(ViewPresenceTest, CheckSaverCommandTogglesWhatThePollObeys) {
    BuildPresence(1, ProgramTiming().Scaled(0.005));
    view->OnCommand(ID_CHECK_SAVER);
    EXPECT_FALSE(view->IsCommandChecked(ID_CHECK_SAVER));
    EXPECT_EQ(store->GetInt(key::CheckSaver), 0);
    saver.running = true;
    SpinFor(timing.saverAwayMs * 3);
    EXPECT_TRUE(said.empty());

    view->OnCommand(ID_CHECK_SAVER);
    EXPECT_TRUE(view->IsCommandChecked(ID_CHECK_SAVER));
    EXPECT_TRUE(SpinUntil([&] { return !said.empty(); }, 3000));
}

}  // namespace
}  // namespace kestrel
