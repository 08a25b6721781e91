#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/MarkingReaderLauncher.h"
#include "mail/SeenMailStore.h"
#include "tests/fakes/FakeReaderLauncher.h"

namespace kestrel {
namespace {

TEST(MarkingReaderLauncher, TheMailReaderMarksTheListedMailReadAndTheNewsReaderDoesNot) {
    const MailAccount account{"pop.example", 110, "alice"};
    auto seen = std::make_shared<SeenMailStore>("");
    auto fake = std::make_unique<test::FakeReaderLauncher>();
    test::FakeReaderLauncher& calls = *fake;
    MarkingReaderLauncher launcher(std::move(fake), seen);

    ASSERT_EQ(seen->Observe(account, {"a", "b"}).unread, 2u);
    launcher.LaunchNewsReader("fj.a");
    launcher.CloseNewsConversation();
    EXPECT_EQ(seen->Observe(account, {"a", "b"}).unread, 2u);

    launcher.LaunchMailReader();
    EXPECT_EQ(seen->Observe(account, {"a", "b", "c"}).unread, 1u);
    EXPECT_EQ(calls.calls, (std::vector<std::string>{"news fj.a", "close", "mail"}));
}

}  // namespace
}  // namespace kestrel
