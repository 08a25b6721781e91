#pragma once

#include <string>
#include <utility>
#include <vector>

#include "readers/DdeClient.h"

namespace kestrel::test {

// Passes every connect on to a real client and records the service/topic asked for.
class CountingDdeClient final : public DdeClient {
public:
    explicit CountingDdeClient(DdeClient& inner) : m_inner(inner) {}
    std::unique_ptr<DdeConversation> Connect(const std::string& service,
                                             const std::string& topic) override {
        connects.emplace_back(service, topic);
        return m_inner.Connect(service, topic);
    }
    std::vector<std::pair<std::string, std::string>> connects;

private:
    DdeClient& m_inner;
};

}  // namespace kestrel::test
