#pragma once

namespace kestrel {

// The room the main window needs.
inline constexpr int kMainWindowWidth = 418;
inline constexpr int kMainWindowHeight = 247;

struct Point {
    int x;
    int y;
    bool operator==(const Point&) const = default;
};

// The stored position, or an eighth of the screen for a coordinate that is negative or would
// push the window off the screen.
Point ChooseStartPosition(int storedLeft, int storedTop, int screenWidth, int screenHeight);

}  // namespace kestrel
