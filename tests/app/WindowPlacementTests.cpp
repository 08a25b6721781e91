// Start-up pieces: where the window goes when the stored position does not fit.
#include <gtest/gtest.h>

#include "app/WindowPlacement.h"

namespace kestrel {
namespace {

TEST(WindowPlacement, StoredPositionIsKeptOnlyWhenTheWindowFits) {
    const int W = 1024, H = 768;
    struct Case {
        int left, top;
        Point expected;
    } cases[] = {
        {W - 418, H - 247, {W - 418, H - 247}},  // exactly fits
        {W - 417, 10, {W / 8, 10}},              // one pixel too far right
        {10, H - 246, {10, H / 8}},
        {-1, -5, {W / 8, H / 8}},
        {0, 0, {0, 0}},
        {2147483647, 2147483647, {W / 8, H / 8}},  // no overflow on absurd values
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.left << "," << c.top);
        EXPECT_EQ(ChooseStartPosition(c.left, c.top, W, H), c.expected);
    }
}

}  // namespace
}  // namespace kestrel
