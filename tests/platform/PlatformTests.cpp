#include <QObject>

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/MessageEvent.h"
#include "platform/ProgramDir.h"
#include "platform/SingleInstance.h"
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
    const Timing s = t.Scaled(0.001);
    EXPECT_EQ(s.pollSliceMs, 1);
    EXPECT_EQ(s.mailFirstCheckMs, 10);
    EXPECT_EQ(s.pollSlices, 100);
    EXPECT_EQ(s.idleConnectionMs, 30);
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

TEST(ProgramDir, FollowsKestrelHome) {
    const std::string saved = std::getenv("KESTREL_HOME");
    setenv("KESTREL_HOME", "/tmp/kestrel-home-test/", 1);
    EXPECT_EQ(ProgramDir(), "/tmp/kestrel-home-test");
    EXPECT_EQ(ProgramFile("kestrel.log"), "/tmp/kestrel-home-test/kestrel.log");
    setenv("KESTREL_HOME", saved.c_str(), 1);
}

TEST(SingleInstance, ASecondClaimantSeesTheFirst) {
    const QString title = QStringLiteral("Kestrel platform test %1").arg(getpid());
    EXPECT_FALSE(SingleInstance::AnyRunning({title}));
    {
        SingleInstance first;
        ASSERT_TRUE(first.Claim(title));
        EXPECT_TRUE(SingleInstance::AnyRunning({QStringLiteral("other"), title}));
    }
    EXPECT_FALSE(SingleInstance::AnyRunning({title}));
}

}  // namespace
}  // namespace kestrel
