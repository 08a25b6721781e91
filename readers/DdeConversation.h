#pragma once

#include <functional>
#include <optional>
#include <string>

namespace kestrel {

// One conversation with a reader program, made by DdeClient::Connect. Texts are CP932 bytes.
// Destroying the object ends the conversation.
class DdeConversation {
public:
    virtual ~DdeConversation() = default;

    // Execute transaction: the reader carries out command. False when the reader did not
    // acknowledge it in time.
    virtual bool Execute(const std::string& command) = 0;
    // Request transaction for item; the reader's data, or nothing on failure or time-out.
    virtual std::optional<std::string> Request(const std::string& item) = 0;
    // Still talking to the same reader (it has not quit or handed its name on).
    virtual bool IsOpen() const = 0;
    // End the conversation from this side; no further notice is given.
    virtual void Disconnect() = 0;
    // Called once, from the event loop, when the reader ends the conversation. The handler
    // must not destroy the conversation; drop it later.
    virtual void SetOnDisconnected(std::function<void()> handler) = 0;
};

}  // namespace kestrel
