#pragma once

#include <string>

namespace kestrel {

// What the notification popups ask of the reader programs. One launcher serves one popup:
// it keeps that popup's news conversation between "記事を読む" clicks.
class ReaderLauncher {
public:
    virtual ~ReaderLauncher() = default;

    // The mail reader fetches the new mail (or is started).
    virtual void LaunchMailReader() = 0;
    // The news reader opens group (CP932).
    virtual void LaunchNewsReader(const std::string& group) = 0;
    // The popup closes: end the kept news conversation, if any.
    virtual void CloseNewsConversation() = 0;
};

}  // namespace kestrel
