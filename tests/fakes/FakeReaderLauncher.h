#pragma once

#include <string>
#include <vector>

#include "readers/ReaderLauncher.h"

namespace kestrel::test {

// Records what a popup asked of the readers: "mail", "news <group bytes>", "close".
class FakeReaderLauncher final : public ReaderLauncher {
public:
    void LaunchMailReader() override { calls.push_back("mail"); }
    void LaunchNewsReader(const std::string& group) override { calls.push_back("news " + group); }
    void CloseNewsConversation() override { calls.push_back("close"); }

    std::vector<std::string> calls;
};

}  // namespace kestrel::test
