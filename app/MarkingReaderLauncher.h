#pragma once

#include <memory>
#include <string>

#include "readers/ReaderLauncher.h"

namespace kestrel {

class SeenMailStore;

// Starting the mail reader is the user going to read the mail: what the mail check last
// listed stops counting as unread (for servers without LAST). Everything else is passed on.
class MarkingReaderLauncher final : public ReaderLauncher {
public:
    MarkingReaderLauncher(std::unique_ptr<ReaderLauncher> launcher,
                          std::shared_ptr<SeenMailStore> seen);

    void LaunchMailReader() override;
    void LaunchNewsReader(const std::string& group) override;
    void CloseNewsConversation() override;

private:
    std::unique_ptr<ReaderLauncher> m_launcher;
    std::shared_ptr<SeenMailStore> m_seen;
};

}  // namespace kestrel
