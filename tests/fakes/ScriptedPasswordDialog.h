#pragma once

#include <optional>
#include <vector>

#include "app/PasswordChangeFlow.h"

namespace kestrel::test {

// Answers the password change dialog from a script and keeps what it was shown; no answer
// is a cancel.
class ScriptedPasswordDialog final : public PasswordChangeDialog {
public:
    bool Run(PasswordChangeInput& input) override {
        shown.push_back(input);
        if (!answer) return false;
        input = *answer;
        return true;
    }
    std::vector<PasswordChangeInput> shown;
    std::optional<PasswordChangeInput> answer;
};

}  // namespace kestrel::test
