#pragma once

#include <ctime>

#include "platform/Clock.h"

namespace kestrel::test {

// A clock that shows what the test set.
class FakeClock final : public Clock {
public:
    explicit FakeClock(std::time_t now = 0) : now(now) {}
    std::time_t Now() const override { return now; }
    std::time_t now;
};

}  // namespace kestrel::test
