#pragma once

#include "readers/ReaderLauncherDesktop.h"

namespace kestrel {

// Programs start detached from their command line split the Qt way; windows are looked up
// by their X11 class; a pause keeps the screen painted but takes no user input, as the
// popup that launches is blocked meanwhile; scheme handlers come from the desktop's MIME
// applications lists.
class QtReaderLauncherDesktop final : public ReaderLauncherDesktop {
public:
    bool StartProgram(const std::string& commandLine) override;
    bool TopLevelWindowExists(const std::string& windowClass) override;
    void Pause(int ms) override;
    bool StartSchemeHandler(const std::vector<std::string>& schemes,
                            const std::string& url) override;
};

}  // namespace kestrel
