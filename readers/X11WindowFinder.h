#pragma once

#include <string>

namespace kestrel {

// Top-level windows by class name. On X11 the class is the WM_CLASS of a client window
// (either its instance or its class part, compared without regard to ASCII case as window
// classes are); without an X display nothing is found.
class X11WindowFinder {
public:
    // display: an X display name, or null for $DISPLAY.
    static bool ClassExists(const std::string& windowClass, const char* display = nullptr);
    // Does a WM_CLASS value ("instance\0class\0") name windowClass?
    static bool WmClassMatches(const std::string& wmClass, const std::string& windowClass);
};

}  // namespace kestrel
