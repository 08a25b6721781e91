#pragma once

#include <string>
#include <vector>

namespace kestrel {

// The desktop's registered handlers of URL schemes (x-scheme-handler/<scheme> in the XDG
// MIME applications lists), looked up and started by GIO, which honours the user's and the
// system's lists, XDG_CONFIG_HOME and XDG_DATA_HOME included, and D-Bus activation where the
// desktop entry asks for it.
class DesktopSchemeHandler {
public:
    // Start that handler, with urlUtf8 when it is not empty and bare otherwise (the entry's
    // field codes dropped). False when there is none or it would not start.
    static bool Start(const std::vector<std::string>& schemes, const std::string& urlUtf8);
};

}  // namespace kestrel
