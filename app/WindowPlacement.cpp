#include "app/WindowPlacement.h"

namespace kestrel {

Point ChooseStartPosition(int left, int top, int w, int h) {
    // Widened so a huge stored value cannot overflow the test.
    if (static_cast<long long>(left) + kMainWindowWidth > w || left < 0) left = w / 8;
    if (static_cast<long long>(top) + kMainWindowHeight > h || top < 0) top = h / 8;
    return {left, top};
}

}  // namespace kestrel
