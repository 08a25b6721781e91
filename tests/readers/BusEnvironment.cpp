// Every test of this executable talks over a private session bus of its own.
#include "tests/fakes/PrivateSessionBus.h"

namespace {
[[maybe_unused]] ::testing::Environment* const kBus =
    ::testing::AddGlobalTestEnvironment(new kestrel::test::PrivateSessionBus);
}
