// The mail check against the harness's dovecot as Debian ships it: "+OK Logged in." after
// PASS and no LAST, so the count comes from STAT and the UIDL listing, measured against the
// mail the user went to read.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mail/CAuthenticationWnd.h"
#include "mail/CPopCheckWnd.h"
#include "mail/SeenMailStore.h"
#include "platform/ProgramDir.h"
#include "res/Cp932.h"
#include "tests/fakes/RecordingMessageBoxes.h"
#include "tests/integration/support/HarnessEnv.h"
#include "tests/integration/support/HarnessMail.h"
#include "tests/integration/support/LineClient.h"
#include "tests/mail/MailTestSupport.h"
#include "tests/support/Spin.h"

namespace kestrel {
namespace {

using test::SpinUntil;

std::string sjisOf(const char* utf8) {
    return utf8ToCp932(utf8);
}

class MailCountAgainstDovecot : public ::testing::Test {
protected:
    void SetUp() override {
        host = test::harnessEnv("KESTREL_IT_POP3_HOST");
        port = test::harnessPort("KESTREL_IT_POP3_PORT");
        user = test::harnessEnv("KESTREL_IT_POP3_COUNTED_USER");
        password = test::harnessEnv("KESTREL_IT_POP3_COUNTED_PASS");
        maildir = test::harnessEnv("KESTREL_IT_POP3_COUNTED_MAILDIR");
        ASSERT_FALSE(HasFailure()) << "the real-server harness is not running";
        ASSERT_TRUE(test::emptyMaildir(maildir));
    }
    void TearDown() override { test::emptyMaildir(maildir); }

    // One check by a fresh window, as after each service start: the count it reports.
    std::optional<std::uint32_t> Check(const std::shared_ptr<SeenMailStore>& seen) {
        test::UnreadReceiver frame;
        log.clear();
        CPopCheckWnd wnd(WorkerContext{&frame, &log, &boxes}, {}, nullptr, timing, seen);
        EXPECT_TRUE(wnd.Start(host, port, user, password, 1));
        EXPECT_TRUE(SpinUntil([&] { return log.has("pop3 socket delete\r\n"); }, 20000));
        EXPECT_TRUE(SpinUntil([&] { return !wnd.Busy(); }, 20000));
        QCoreApplication::sendPostedEvents();
        if (frame.counts.empty()) return std::nullopt;
        return frame.counts.back();
    }

    // The first check at once, the program's own reply waits: dovecot's first log-in starts
    // its authentication process.
    static Timing CheckTiming() {
        Timing t = test::FastTiming();
        t.pollSliceMs = ProgramTiming().pollSliceMs;
        return t;
    }
    Timing timing = CheckTiming();
    std::string host;
    int port = 0;
    std::string user;
    std::string password;
    std::string maildir;
    test::RecordingLogSink log;
    test::RecordingMessageBoxes boxes;
};

TEST_F(MailCountAgainstDovecot, UnreadIsWhatCameSinceTheReaderWasStarted) {
    const std::string path = ProgramFile("dovecot-seen.dat");
    for (int i = 1; i <= 3; ++i)
        ASSERT_TRUE(test::deliverMail(maildir, "first " + std::to_string(i)));

    auto seen = std::make_shared<SeenMailStore>(path);
    EXPECT_EQ(Check(seen), 3u);
    EXPECT_TRUE(log.has("+OK Logged in.\r\n"));
    EXPECT_TRUE(log.has("stat\r\n"));
    EXPECT_TRUE(log.has("LAST COMMAND ERROR\r\n"));
    EXPECT_TRUE(log.has("uidl\r\n"));

    ASSERT_TRUE(seen->MarkRead());  // the reader started from the popup
    EXPECT_EQ(Check(seen), 0u);

    ASSERT_TRUE(test::deliverMail(maildir, "one more"));
    EXPECT_EQ(Check(seen), 1u);

    // A restart: what was read stays read, the new one is still unread.
    seen = std::make_shared<SeenMailStore>(path);
    EXPECT_EQ(Check(seen), 1u);
    ASSERT_TRUE(seen->MarkRead());
    seen = std::make_shared<SeenMailStore>(path);
    EXPECT_EQ(Check(seen), 0u);

    // The reader took the mail off the server: an empty box, and new mail counts again.
    ASSERT_TRUE(test::emptyMaildir(maildir));
    EXPECT_EQ(Check(seen), 0u);
    ASSERT_TRUE(test::deliverMail(maildir, "after the reader"));
    EXPECT_EQ(Check(seen), 1u);
    EXPECT_TRUE(boxes.boxes.empty());
}

// dovecot refuses a second session of a user with [IN-USE] once its wait for the box has run
// out (about 10 s): the check logs a busy server and reports nothing, the log-in says the
// server is busy instead of calling the password wrong.
TEST_F(MailCountAgainstDovecot, ABoxHeldByAnotherSessionIsABusyServer) {
    test::LineClient holder;
    ASSERT_TRUE(holder.connect(port));
    ASSERT_EQ(holder.readLine().value_or("").rfind("+OK", 0), 0u);
    ASSERT_EQ(holder.command("USER " + user).rfind("+OK", 0), 0u);
    ASSERT_EQ(holder.command("PASS " + password), "+OK Logged in.");

    auto seen = std::make_shared<SeenMailStore>("");
    test::UnreadReceiver frame;
    {
        Timing t;
        t.mailFirstCheckMs = 1;
        t.minuteMs = 3600000;
        CPopCheckWnd wnd(WorkerContext{&frame, &log, &boxes}, {}, nullptr, t, seen);
        ASSERT_TRUE(wnd.Start(host, port, user, password, 1));
        ASSERT_TRUE(SpinUntil([&] { return log.has("pop3 socket delete\r\n"); }, 30000));
    }
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(frame.counts.empty());
    EXPECT_TRUE(log.has("-ERR [IN-USE] Mailbox is locked by another POP3 session.\r\n"));
    EXPECT_TRUE(log.mentions(sjisOf("混み合っています")));

    CAuthenticationWnd verify(WorkerContext{nullptr, &log, &boxes});
    EXPECT_FALSE(verify.Verify(host, port, user, password));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].textUtf8().rfind("POPサーバが混み合っているため", 0), 0u);
}

}  // namespace
}  // namespace kestrel
