// The log-in verification against the real dovecot POP3 server of the harness: a user it
// knows is accepted, a wrong password is refused with the server's own words in the box.
#include <gtest/gtest.h>

#include <string>

#include "mail/CAuthenticationWnd.h"
#include "tests/fakes/RecordingMessageBoxes.h"
#include "tests/integration/support/HarnessEnv.h"
#include "tests/mail/MailTestSupport.h"

namespace kestrel {
namespace {

class MailVerifyAgainstDovecot : public ::testing::Test {
protected:
    void SetUp() override {
        port = test::harnessPort("KESTREL_IT_POP3_PORT");
        user = test::harnessEnv("KESTREL_IT_POP3_USER");
        password = test::harnessEnv("KESTREL_IT_POP3_PASS");
        ASSERT_FALSE(HasFailure()) << "the real-server harness is not running";
    }

    bool Verify(const std::string& withPassword) {
        CAuthenticationWnd wnd(WorkerContext{nullptr, &log, &boxes});
        return wnd.Verify(test::harnessEnv("KESTREL_IT_POP3_HOST"), port, user, withPassword);
    }

    int port = 0;
    std::string user;
    std::string password;
    test::RecordingLogSink log;
    test::RecordingMessageBoxes boxes;
};

TEST_F(MailVerifyAgainstDovecot, AcceptsTheRightPasswordWithoutABox) {
    EXPECT_TRUE(Verify(password));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(log.has("user " + user + "\r\n"));
    EXPECT_TRUE(log.has("pass ********\r\n"));
    EXPECT_TRUE(log.has("+OK Logged in.\r\n"));
    EXPECT_TRUE(log.has("quit\r\n"));
    EXPECT_FALSE(log.mentions(password));
}

TEST_F(MailVerifyAgainstDovecot, RefusesAWrongPasswordQuotingTheServer) {
    const std::string wrong = "not-" + password;
    EXPECT_FALSE(Verify(wrong));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(
        boxes.boxes[0].textUtf8(),
        "protocol error\n" + user +
            "はサーバに拒否されました(パスワード異常)\n-ERR [AUTH] Authentication failed.\r\n\n");
    EXPECT_EQ(boxes.boxes[0].captionUtf8(), "認証失敗");
    EXPECT_EQ(boxes.boxes[0].buttons, BoxButtons::Ok);
    EXPECT_TRUE(log.has("-ERR [AUTH] Authentication failed.\r\n"));
    EXPECT_FALSE(log.mentions(wrong));
    EXPECT_FALSE(log.has("quit\r\n"));
}

}  // namespace
}  // namespace kestrel
