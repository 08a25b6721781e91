#pragma once

#include <string>

namespace kestrel {

// A keeper of secrets outside the settings file (the desktop's keyring). Each call returns
// within the keeper's own time limit, serving the event loop meanwhile; a keeper that is
// locked, refuses or does not answer in time is Unavailable. Passwords are CP932 bytes.
class PasswordVault {
public:
    enum class Outcome { Done, NotFound, Unavailable };

    virtual ~PasswordVault() = default;
    virtual Outcome Read(const std::string& account, std::string& password) = 0;
    virtual Outcome Write(const std::string& account, const std::string& password) = 0;
    // NotFound when there was nothing to remove.
    virtual Outcome Remove(const std::string& account) = 0;
};

}  // namespace kestrel
