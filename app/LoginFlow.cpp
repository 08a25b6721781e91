#include "app/LoginFlow.h"

#include "platform/MessageBoxes.h"
#include "res/Text.h"
#include "res/TextsLogin.h"
#include "settings/SavedPassword.h"

namespace kestrel {

void LogIn(Credentials& credentials, bool firstStart, LoginDialog& dialog,
           const VerifyFunction& verify, SavedPassword& saved, const std::string& server,
           MessageBoxes& boxes, bool beIcon) {
    credentials.loggedIn = false;
    LoginInput input{credentials.user, std::string(), 0};
    if (firstStart && !credentials.password.empty()) {
        input.password = credentials.password;
        input.save = 1;
    } else if (!dialog.Run(input)) {
        return;
    }

    if (!verify(input.user, input.password)) return;

    credentials.user = input.user;
    credentials.password = input.password;
    credentials.loggedIn = true;
    saved.Keep(input.user, server, input.password, input.save != 0);
    if (!beIcon)
        boxes.Show(sjis(txt::kLoginDone), sjis(txt::kLoginResultCaption), BoxIcon::Information,
                   BoxButtons::Ok);
}

}  // namespace kestrel
