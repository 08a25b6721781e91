#include "platform/Clock.h"

namespace kestrel {
namespace {

class RealClock final : public Clock {
public:
    std::time_t Now() const override { return std::time(nullptr); }
};

}  // namespace

const Clock& SystemClock() {
    static const RealClock clock;
    return clock;
}

}  // namespace kestrel
