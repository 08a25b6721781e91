#include <QObject>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include <unistd.h>

#include "net/EventLog.h"
#include "net/TraceLog.h"
#include "platform/MessageEvent.h"
#include "res/Ids.h"
#include "tests/support/Spin.h"

namespace kestrel {
namespace {

// Stands in for the main frame: keeps every posted message.
class FrameStandIn : public QObject {
public:
    std::vector<std::unique_ptr<MessageEvent>> messages;

protected:
    bool event(QEvent* e) override {
        if (auto* m = asMessage(e)) {
            messages.push_back(std::make_unique<MessageEvent>(
                m->message(), m->wParam(), m->lParam(), nullptr,
                m->hasSecond() ? own(*m->takeSecond<std::string>()) : nullptr));
            return true;
        }
        return QObject::event(e);
    }
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class EventLogTest : public ::testing::Test {
protected:
    void SetUp() override { std::remove(EventLogPath().c_str()); }
    void TearDown() override { SetTraceEnabled(false); }
    FrameStandIn frame;
    PostingLogSink sink{&frame};
};

TEST_F(EventLogTest, PostsACopyCutToTheBlockEvenWithTracingOff) {
    SetTraceEnabled(false);
    std::string text = "user kestrel\r\n";
    sink.PostLog(text);
    text.assign("changed");
    sink.PostLog(std::string(3000, 'y'));
    sink.PostLog(std::string("ab\0cd", 5));
    ASSERT_TRUE(test::SpinUntil([&] { return frame.messages.size() == 3; }));

    const char* expected[] = {"user kestrel\r\n", nullptr, "ab"};
    for (int i = 0; i < 3; ++i) {
        auto& m = *frame.messages[i];
        EXPECT_EQ(m.message(), WM_WRITE_LOG);
        auto block = m.takeSecond<std::string>();
        ASSERT_TRUE(block);
        if (expected[i])
            EXPECT_EQ(*block, expected[i]);
        else
            EXPECT_EQ(*block, std::string(2047, 'y'));
    }
    EXPECT_NE(::access(EventLogPath().c_str(), F_OK), 0);
}

TEST_F(EventLogTest, HandlerWritesOnlyItsOwnMessageWhenTracing) {
    SetTraceEnabled(true);
    sink.PostLog("Popcheck Start!!");
    ASSERT_TRUE(test::SpinUntil([&] { return frame.messages.size() == 1; }));
    EXPECT_TRUE(HandleWriteLog(*frame.messages[0]));
    EXPECT_FALSE(frame.messages[0]->hasSecond());

    MessageEvent other(WM_SHOW_NOTICE, 0, 0, nullptr, own(std::string("not a log line")));
    EXPECT_FALSE(HandleWriteLog(other));
    EXPECT_TRUE(other.hasSecond());

    const std::string log = ReadAll(EventLogPath());
    EXPECT_EQ(log.substr(16), "Popcheck Start!!\r\n");
}

TEST_F(EventLogTest, HandlerReleasesTheBlockWithTracingOff) {
    SetTraceEnabled(false);
    MessageEvent message(WM_WRITE_LOG, 0, 0, nullptr, own(std::string("quiet")));
    EXPECT_TRUE(HandleWriteLog(message));
    EXPECT_FALSE(message.hasSecond());
    EXPECT_NE(::access(EventLogPath().c_str(), F_OK), 0);
}

}  // namespace
}  // namespace kestrel
