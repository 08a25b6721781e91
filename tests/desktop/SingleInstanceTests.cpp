// One program per user: a running instance is found under any of its titles.
#include <QString>

#include <gtest/gtest.h>

#include <unistd.h>

#include "desktop/SingleInstance.h"

namespace kestrel {
namespace {

TEST(SingleInstance, ASecondClaimantSeesTheFirst) {
    const QString title = QStringLiteral("Kestrel desktop test %1").arg(getpid());
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
