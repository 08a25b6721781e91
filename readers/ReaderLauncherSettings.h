#pragma once

#include <string>

namespace kestrel {

// The reader settings of Environment, as they stand at the moment of a launch (CP932).
struct ReaderLauncherSettings {
    int MailReader = 1;
    std::string MailFile;
    int NewsReader = 0;
    std::string NewsFile;
};

}  // namespace kestrel
