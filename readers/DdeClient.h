#pragma once

#include <memory>
#include <string>

#include "readers/DdeConversation.h"

namespace kestrel {

// Client side of the conversations with reader programs (service and topic as the readers
// name them, CP932 bytes).
class DdeClient {
public:
    virtual ~DdeClient() = default;
    // A conversation when a reader serves service/topic now; null otherwise.
    virtual std::unique_ptr<DdeConversation> Connect(const std::string& service,
                                                     const std::string& topic) = 0;
};

}  // namespace kestrel
