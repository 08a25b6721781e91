#pragma once

#include <map>
#include <string>

#include "platform/PasswordVault.h"

namespace kestrel::test {

// A keyring held in memory that can be made to stop answering; it counts the requests so a
// test can tell it was asked.
class MemoryVault final : public PasswordVault {
public:
    Outcome Read(const std::string& account, std::string& password) override {
        ++requests;
        if (!answering) return Outcome::Unavailable;
        auto it = items.find(account);
        if (it == items.end()) return Outcome::NotFound;
        password = it->second;
        return Outcome::Done;
    }
    Outcome Write(const std::string& account, const std::string& password) override {
        ++requests;
        if (!answering) return Outcome::Unavailable;
        items[account] = password;
        return Outcome::Done;
    }
    Outcome Remove(const std::string& account) override {
        ++requests;
        if (!answering) return Outcome::Unavailable;
        return items.erase(account) ? Outcome::Done : Outcome::NotFound;
    }

    bool answering = true;
    int requests = 0;
    std::map<std::string, std::string> items;
};

}  // namespace kestrel::test
