#pragma once

#include <string>
#include <vector>

namespace kestrel {

// The desktop operations reader launching needs besides the conversations.
class ReaderLauncherDesktop {
public:
    virtual ~ReaderLauncherDesktop() = default;
    // Run commandLine (CP932) as a program, window shown normally; false when it could not
    // be started.
    virtual bool StartProgram(const std::string& commandLine) = 0;
    // A top-level window of windowClass is on the desktop.
    virtual bool TopLevelWindowExists(const std::string& windowClass) = 0;
    // Wait between connection attempts while the popup is up.
    virtual void Pause(int ms) = 0;
    // Start the application the desktop registers for the first of schemes that has one,
    // with url (CP932) when it is not empty; false when none is registered or it would not
    // start.
    virtual bool StartSchemeHandler(const std::vector<std::string>& schemes,
                                    const std::string& url) = 0;
};

}  // namespace kestrel
