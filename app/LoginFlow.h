#pragma once

#include <functional>
#include <string>

namespace kestrel {

class MessageBoxes;
class SavedPassword;

// What the log-in dialog edits (CP932).
struct LoginInput {
    std::string user;
    std::string password;
    int save = 0;
};

// The log-in dialog as the flow sees it: true on OK with the fields filled in.
class LoginDialog {
public:
    virtual ~LoginDialog() = default;
    virtual bool Run(LoginInput& input) = 0;
};

// Held by the view: the credentials and whether the server accepted them.
struct Credentials {
    std::string user;
    std::string password;
    bool loggedIn = false;
};

// Verifies a user name and password against the POP3 server; shows its own messages.
using VerifyFunction = std::function<bool(const std::string& user, const std::string& password)>;

// The log-in: the saved password at the first start, otherwise the dialog; then the server's
// verdict, the saved password kept for this server or forgotten, and the completion box when
// the main window is not iconised.
void LogIn(Credentials& credentials, bool firstStart, LoginDialog& dialog,
           const VerifyFunction& verify, SavedPassword& saved, const std::string& server,
           MessageBoxes& boxes, bool beIcon);

}  // namespace kestrel
