#pragma once

#include <string>

#include "res/Ids.h"

namespace kestrel {

// The reader settings of Environment, as they stand at the moment of a launch (CP932).
struct ReaderLauncherSettings {
    int MailReader = kMailReaderDesktop;
    std::string MailFile;
    int NewsReader = kNewsReaderDesktop;
    std::string NewsFile;
};

}  // namespace kestrel
