// The flood guards of the peer chat, on a clock of the test's own.
#include <gtest/gtest.h>

#include "chat/PeerGuards.h"

namespace kestrel {
namespace {

TEST(RecentMessages, ANumberIsKnownPerSenderForTenMinutes) {
    RecentMessages recent;
    const std::time_t t = 1'000'000;
    EXPECT_FALSE(recent.Seen("10.0.0.1:2425", 7, t));
    recent.Remember("10.0.0.1:2425", 7, t);
    EXPECT_TRUE(recent.Seen("10.0.0.1:2425", 7, t + 599));
    EXPECT_FALSE(recent.Seen("10.0.0.2:2425", 7, t + 1));  // another sender's 7
    EXPECT_FALSE(recent.Seen("10.0.0.1:2425", 8, t + 1));
    EXPECT_FALSE(recent.Seen("10.0.0.1:2425", 7, t + 600));
    EXPECT_EQ(recent.Size(), 0u);

    // However many come in ten minutes, the oldest go beyond the bound.
    for (unsigned n = 0; n < RecentMessages::kMost + 100; ++n) recent.Remember("s", n, t);
    EXPECT_EQ(recent.Size(), RecentMessages::kMost);
    EXPECT_FALSE(recent.Seen("s", 0, t));
    EXPECT_TRUE(recent.Seen("s", RecentMessages::kMost + 99, t));
    // A clock set back forgets nothing early.
    EXPECT_TRUE(recent.Seen("s", RecentMessages::kMost + 99, t - 3600));
}

TEST(MessageQuota, ASenderGetsABurstThenAShareAndIsReportedOncePerEpisode) {
    using V = MessageQuota::Verdict;
    MessageQuota quota;
    const std::time_t t = 1'000'000;
    for (int i = 0; i < MessageQuota::kSenderBurst; ++i) ASSERT_EQ(quota.Ask("a", t), V::Take);
    EXPECT_EQ(quota.Ask("a", t), V::DropFirst);
    EXPECT_EQ(quota.Ask("a", t), V::Drop);
    EXPECT_EQ(quota.Ask("b", t), V::Take);  // others are not held up by it
    // One more every two seconds.
    EXPECT_EQ(quota.Ask("a", t + 1), V::Drop);
    EXPECT_EQ(quota.Ask("a", t + 2), V::Take);
    EXPECT_EQ(quota.Ask("a", t + 2), V::DropFirst);  // a new episode is reported again
    // A clock set back grants nothing.
    EXPECT_EQ(quota.Ask("a", t - 100), V::Drop);
}

TEST(MessageQuota, EveryoneTogetherIsHeldToTheWholeShare) {
    using V = MessageQuota::Verdict;
    MessageQuota quota;
    const std::time_t t = 1'000'000;
    int taken = 0;
    int reported = 0;
    // 127 forged senders, five messages each in the same second.
    for (int round = 0; round < 5; ++round)
        for (int s = 0; s < 127; ++s) {
            const V v = quota.Ask("192.0.2." + std::to_string(s), t);
            taken += v == V::Take;
            reported += v == V::DropFirst;
        }
    EXPECT_EQ(taken, static_cast<int>(MessageQuota::kAllBurst));
    EXPECT_EQ(reported, 1);
    // A sender turned away by the whole share keeps its own: a second later it is taken.
    EXPECT_EQ(quota.Ask("192.0.2.126", t + 1), V::Take);
}

TEST(AnswerGate, OneAnswerOfAKindPerAddressEveryFewSeconds) {
    AnswerGate gate;
    const std::time_t t = 1'000'000;
    EXPECT_TRUE(gate.Allow("10.0.0.1", 0x41, t));
    EXPECT_FALSE(gate.Allow("10.0.0.1", 0x41, t + 1));
    EXPECT_TRUE(gate.Allow("10.0.0.1", 0x03, t + 1));  // another kind
    EXPECT_TRUE(gate.Allow("10.0.0.2", 0x41, t + 1));  // another address
    EXPECT_TRUE(gate.Allow("10.0.0.1", 0x41, t + AnswerGate::kSeconds));
    EXPECT_TRUE(gate.Allow("10.0.0.1", 0x41, t - 3600));  // a clock set back opens it

    // Forged sources beyond the bound in one stretch get no answer; later they do.
    AnswerGate full;
    int answered = 0;
    for (int i = 0; i < static_cast<int>(AnswerGate::kMost) + 50; ++i)
        answered += full.Allow("a" + std::to_string(i), 0x41, t);
    EXPECT_EQ(answered, static_cast<int>(AnswerGate::kMost));
    EXPECT_TRUE(full.Allow("late", 0x41, t + AnswerGate::kSeconds));
}

TEST(Spacing, OnceInAGap) {
    Spacing beep(std::chrono::milliseconds(3000));
    const Spacing::Time t0{};
    EXPECT_TRUE(beep.Due(t0));
    EXPECT_FALSE(beep.Due(t0 + std::chrono::milliseconds(2999)));
    EXPECT_TRUE(beep.Due(t0 + std::chrono::milliseconds(3000)));
    EXPECT_FALSE(beep.Due(t0 + std::chrono::milliseconds(3001)));
}

}  // namespace
}  // namespace kestrel
