#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "mail/ReplyBuffer.h"
#include "mail/ReplyWait.h"
#include "platform/Timing.h"
#include "tests/fakes/ScriptedChannel.h"
#include "tests/mail/MailTestSupport.h"

namespace kestrel {
namespace {

using test::ScriptedChannel;

Timing Slices(int count) {
    Timing t;
    t.pollSliceMs = 1;
    t.pollSlices = count;
    return t;
}

TEST(ReplyWait, AReplySplitAtAnyByteIsGatheredWhole) {
    const std::string line = "+OK alice has 3 messages (1234 octets)\r\n";
    for (std::size_t cut = 1; cut < line.size(); ++cut) {
        ScriptedChannel channel({{line.substr(0, cut), line.substr(cut)}});
        ReplyBuffer reply;
        const WaitResult result = WaitForReply(channel, reply, nullptr, Slices(100));
        ASSERT_EQ(result.outcome, WaitOutcome::Reply) << cut;
        EXPECT_EQ(reply.Text(), line) << cut;
    }
    // And one byte per read.
    std::vector<std::string> bytes;
    for (char c : line) bytes.emplace_back(1, c);
    ScriptedChannel channel({bytes});
    ReplyBuffer reply;
    EXPECT_EQ(WaitForReply(channel, reply, nullptr, Slices(100)).outcome, WaitOutcome::Reply);
    EXPECT_EQ(reply.Text(), line);
}

TEST(ReplyWait, SilenceOrAnUnendedLineFailsWithTheLastReadAndError) {
    {
        ScriptedChannel channel(test::Replies(1));
        ReplyBuffer reply;
        const WaitResult result = WaitForReply(channel, reply, nullptr, Slices(100));
        EXPECT_EQ(result.outcome, WaitOutcome::Failed);
        EXPECT_EQ(result.lastRead, -1);
        EXPECT_EQ(result.lastError, ScriptedChannel::kWouldBlock);
        EXPECT_EQ(channel.waits, 100);  // the whole budget, slice by slice
    }
    {
        ScriptedChannel channel({{"+OK but no line end"}});
        ReplyBuffer reply;
        EXPECT_EQ(WaitForReply(channel, reply, nullptr, Slices(10)).outcome, WaitOutcome::Failed);
    }
}

TEST(ReplyWait, AStopIsSeenBeforeTheNextSliceAndOnlyWhenTested) {
    std::atomic<int> stop{0};
    ScriptedChannel channel(test::Replies(1));
    channel.onWait = [&](int waits) {
        if (waits == 3) stop = 1;
    };
    ReplyBuffer reply;
    EXPECT_EQ(WaitForReply(channel, reply, &stop, Slices(100)).outcome, WaitOutcome::Stopped);
    EXPECT_EQ(channel.waits, 3);

    // Without a stop flag (the LAST reply) the wait runs its course.
    ScriptedChannel untested(test::Replies(1));
    EXPECT_EQ(WaitForReply(untested, reply, nullptr, Slices(100)).outcome, WaitOutcome::Failed);
    EXPECT_EQ(untested.waits, 100);
}

TEST(ReplyWait, AnOverlongReplyIsCutAndTheRestOfItsLineDoesNotLeakIntoTheNext) {
    const std::string longLine = "+OK " + std::string(1996, 'g') + "\r\n";
    ScriptedChannel channel({{longLine, "+OK next\r\n"}});
    ReplyBuffer reply;
    ASSERT_EQ(WaitForReply(channel, reply, nullptr, Slices(100)).outcome, WaitOutcome::Reply);
    EXPECT_EQ(reply.Text(), std::string_view(longLine).substr(0, ReplyBuffer::kMaxText));
    ASSERT_EQ(WaitForReply(channel, reply, nullptr, Slices(100)).outcome, WaitOutcome::Reply);
    EXPECT_EQ(reply.Text(), "+OK next\r\n");
}

}  // namespace
}  // namespace kestrel
