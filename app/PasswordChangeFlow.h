#pragma once

#include <functional>
#include <string>

#include "platform/Clock.h"

namespace kestrel {

class MessageBoxes;
class SettingsStore;

// What the password change dialog edits (CP932).
struct PasswordChangeInput {
    std::string user;
    std::string currentPassword;
    std::string newPassword;
    std::string newPasswordAgain;
};

// The password change dialog as the flow sees it: true on OK with the fields filled in.
class PasswordChangeDialog {
public:
    virtual ~PasswordChangeDialog() = default;
    virtual bool Run(PasswordChangeInput& input) = 0;
};

// Changes the password on the server (CPasswdChangeWnd::ExecChange against POPServer and
// PSWDPort); true when the server confirmed it. Shows its own messages.
using ChangeFunction = std::function<bool(
    const std::string& user, const std::string& currentPassword, const std::string& newPassword)>;

// The password change command: refused while the service runs; otherwise the dialog with the
// log-in user name proposed, the field checks in order, the change on the server, LastTime
// set to the time of a confirmed change, and the result box. True when the password changed.
bool ChangePassword(bool serviceRunning, const std::string& loginUser, PasswordChangeDialog& dialog,
                    const ChangeFunction& change, SettingsStore& store, MessageBoxes& boxes,
                    const Clock& clock = SystemClock());

}  // namespace kestrel
