#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/PresenceWatch.h"
#include "identity/LocalIdentity.h"
#include "platform/ScreenSaver.h"
#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsUi.h"

namespace kestrel {
namespace {

struct FakeControls final : PresenceControls {
    int choice = 0;
    bool placesEnabled = false;
    std::vector<std::string> places;
    int selected = -1;

    int Choice() const override { return choice; }
    void SetChoice(int c) override { choice = c; }
    std::string SelectedPlace() const override {
        return selected < 0 ? std::string() : places[static_cast<size_t>(selected)];
    }
    void SetPlacesEnabled(bool on) override { placesEnabled = on; }
    void ClearPlaceSelection() override { selected = -1; }
    int FindPlace(const std::string& text) const override {
        for (size_t i = 0; i < places.size(); ++i) {
            const std::string& p = places[i];
            if (p.size() < text.size()) continue;
            bool same = true;
            for (size_t k = 0; k < text.size() && same; ++k)
                same = std::tolower(static_cast<unsigned char>(p[k])) ==
                       std::tolower(static_cast<unsigned char>(text[k]));
            if (same) return static_cast<int>(i);
        }
        return -1;
    }
    void SelectPlaceAt(int index) override { selected = index; }
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
    std::vector<bool> answers;  // what the user does, one per showing; default: lets it close
    int shown = 0;
    bool Show() override {
        const size_t i = static_cast<size_t>(shown++);
        return i < answers.size() && answers[i];
    }
};

// Each announcement as the peers would see it: present, or the whereabouts while away.
struct PresenceWatchTest : ::testing::Test {
    LocalIdentity me;
    FakeControls controls;
    FakeSaver saver;
    FakeReminder reminder;
    bool checkSaver = true;
    std::vector<std::string> announced;
    // Timers so long they never fire by themselves; the test ticks them.
    PresenceWatch watch{{me, controls, saver, reminder,
                         [this] { announced.push_back(me.present ? "present" : me.whereabouts); },
                         [this] { return checkSaver; }},
                        ProgramTiming().Scaled(1000)};

    const std::string unknown = sjis(txt::kTrayWhereaboutsUnknown);
    bool Armed(int id) const { return watch.Timers().IsActive(id); }
    void GoAway() {
        controls.choice = 1;
        watch.ApplyPresence();
    }
};

TEST_F(PresenceWatchTest, AwayWithoutPlaceSaysUnknownAndPresentComesBackOnce) {
    GoAway();
    EXPECT_EQ(me.present, 0);
    EXPECT_TRUE(controls.placesEnabled);
    EXPECT_TRUE(Armed(TIMER_AWAY_REMINDER));
    GoAway();  // already away: nothing more
    EXPECT_EQ(announced, std::vector<std::string>{unknown});

    controls.choice = 0;
    watch.ApplyPresence();
    EXPECT_EQ(me.present, 1);
    EXPECT_STREQ(me.whereabouts, "");
    EXPECT_FALSE(controls.placesEnabled);
    EXPECT_FALSE(Armed(TIMER_AWAY_REMINDER));
    EXPECT_EQ(saver.closes, 1);
    EXPECT_EQ(announced, (std::vector<std::string>{unknown, "present"}));
}

TEST_F(PresenceWatchTest, PresentWhilePresentStopsTheReminderAndSendsNothing) {
    GoAway();
    me.present = 1;  // as if present came about while the reminder was still armed
    controls.choice = 0;
    watch.ApplyPresence();
    EXPECT_FALSE(Armed(TIMER_AWAY_REMINDER));
    EXPECT_EQ(announced.size(), 1u);
    EXPECT_EQ(saver.closes, 0);
}

TEST_F(PresenceWatchTest, TrayPlaceWhilePresentAnnouncesTwiceTheLastWithThePlace) {
    controls.places = {"Kaigi", "Toilet"};
    watch.ChoosePlace("toi");  // a prefix, letter case ignored
    EXPECT_EQ(announced, (std::vector<std::string>{unknown, "Toilet"}));
    EXPECT_EQ(controls.choice, 1);

    watch.ChoosePlace("Kai");  // while away: one announcement with the new place
    EXPECT_EQ(announced.back(), "Kaigi");
    EXPECT_EQ(announced.size(), 3u);

    watch.ChoosePlace("nowhere");
    EXPECT_EQ(announced.size(), 3u);
}

TEST_F(PresenceWatchTest, WhereaboutsChangeCountsOnlyWhileAwayAndLongPlacesAreCutWhole) {
    controls.places = {"A"};
    controls.selected = 0;
    watch.WhereaboutsChanged();  // present: the combo is not in charge
    EXPECT_TRUE(announced.empty());

    // 70 bytes of two-byte characters: the field keeps 62 bytes, never half a character.
    std::string longPlace;
    for (int i = 0; i < 35; ++i) longPlace += "\x89\xef";
    controls.places.push_back(longPlace);
    controls.selected = 1;
    GoAway();
    EXPECT_EQ(std::string(me.whereabouts), longPlace.substr(0, 62));
}

TEST_F(PresenceWatchTest, PlacesWithPacketCharactersStayInsideTheirBrackets) {
    const std::string kanjiEndingIn5D = "\x83\x5D";  // a two-byte character, trail byte "]"
    const std::string longest(200, 'x');
    struct Case {
        std::string place;
        std::string whereabouts;
    } cases[] = {
        {"Room [3]",
         "Room \x81\x6D"
         "3\x81\x6E"},
        {"a]b[c",
         "a\x81\x6E"
         "b\x81\x6D"
         "c"},
        {"10:30 back", "10:30 back"},
        {kanjiEndingIn5D + "]", kanjiEndingIn5D + "\x81\x6E"},
        {longest, longest.substr(0, 63)},
        // Widened brackets still go by whole characters at the field's end.
        {std::string(62, 'y') + "]", std::string(62, 'y')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.place);
        controls.places = {c.place};
        controls.selected = 0;
        controls.choice = 1;
        watch.WhereaboutsChanged();
        EXPECT_EQ(std::string(me.whereabouts), c.whereabouts);
    }
}

TEST_F(PresenceWatchTest, SaverRunningLongEnoughGoesAwayOnceAndShortRunsDoNothing) {
    watch.StartSaverPoll();
    EXPECT_TRUE(Armed(TIMER_SAVER_POLL));

    // Runs for a while and stops before the away timer ticks.
    saver.running = true;
    watch.OnTimer(TIMER_SAVER_POLL);
    EXPECT_TRUE(Armed(TIMER_SAVER_AWAY));
    watch.OnTimer(TIMER_SAVER_POLL);
    saver.running = false;
    watch.OnTimer(TIMER_SAVER_POLL);
    EXPECT_FALSE(Armed(TIMER_SAVER_AWAY));
    EXPECT_FALSE(watch.SaverActive());
    EXPECT_TRUE(announced.empty());

    // Runs long enough: away once, and polls while it keeps running do not arm it again.
    saver.running = true;
    watch.OnTimer(TIMER_SAVER_POLL);
    watch.OnTimer(TIMER_SAVER_AWAY);
    EXPECT_FALSE(Armed(TIMER_SAVER_AWAY));
    EXPECT_EQ(announced, std::vector<std::string>{unknown});
    for (int i = 0; i < 5; ++i) watch.OnTimer(TIMER_SAVER_POLL);
    EXPECT_FALSE(Armed(TIMER_SAVER_AWAY));
    EXPECT_EQ(announced.size(), 1u);
}

TEST_F(PresenceWatchTest, ReminderWaitsForTheSaverAndComesBackUntilAnswered) {
    watch.StartSaverPoll();
    saver.running = true;
    watch.OnTimer(TIMER_SAVER_POLL);
    watch.OnTimer(TIMER_SAVER_AWAY);
    ASSERT_TRUE(Armed(TIMER_AWAY_REMINDER));

    watch.OnTimer(TIMER_AWAY_REMINDER);  // saver still running: silent, stays armed
    EXPECT_EQ(reminder.shown, 0);
    EXPECT_TRUE(Armed(TIMER_AWAY_REMINDER));

    saver.running = false;
    watch.OnTimer(TIMER_SAVER_POLL);
    reminder.answers = {false, true};
    watch.OnTimer(TIMER_AWAY_REMINDER);  // closed by itself: armed again
    EXPECT_EQ(reminder.shown, 1);
    EXPECT_TRUE(Armed(TIMER_AWAY_REMINDER));
    EXPECT_EQ(me.present, 0);

    watch.OnTimer(TIMER_AWAY_REMINDER);  // "back to present"
    EXPECT_EQ(reminder.shown, 2);
    EXPECT_EQ(me.present, 1);
    EXPECT_EQ(controls.choice, 0);
    EXPECT_FALSE(Armed(TIMER_AWAY_REMINDER));
    EXPECT_EQ(announced.back(), "present");
}

TEST_F(PresenceWatchTest, CheckSaverOffKeepsTheReminderSilentUntilThePollSeesNoSaver) {
    watch.StartSaverPoll();
    saver.running = true;
    watch.OnTimer(TIMER_SAVER_POLL);
    GoAway();
    checkSaver = false;
    saver.running = false;
    watch.OnTimer(TIMER_SAVER_POLL);  // switched off: the poll looks at nothing
    EXPECT_TRUE(watch.SaverActive());
    watch.OnTimer(TIMER_AWAY_REMINDER);
    EXPECT_EQ(reminder.shown, 0);

    checkSaver = true;
    watch.OnTimer(TIMER_SAVER_POLL);
    EXPECT_FALSE(watch.SaverActive());
    watch.OnTimer(TIMER_AWAY_REMINDER);
    EXPECT_EQ(reminder.shown, 1);
}

}  // namespace
}  // namespace kestrel
