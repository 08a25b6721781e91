#include "app/PasswordChangeFlow.h"

#include "app/PasswordAge.h"
#include "platform/MessageBoxes.h"
#include "res/Text.h"
#include "res/TextsPasswd.h"
#include "res/TextsService.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"

namespace kestrel {
namespace {

// The first field check that fails, as its box; none when the input may go to the server.
struct Refusal {
    const char* text;
    const char* caption;
};

const Refusal* CheckInput(const PasswordChangeInput& input) {
    static const Refusal kNoUser{txt::kEnterUserName, txt::kCaptionInputError};
    static const Refusal kNoPassword{txt::kEnterPassword, txt::kCaptionInputError};
    static const Refusal kDiffer{txt::kNewPasswordsDiffer, txt::kCaptionNewPasswordsDiffer};
    static const Refusal kSame{txt::kNewPasswordSameAsCurrent, txt::kCaptionNewPasswordError};
    if (input.user.empty()) return &kNoUser;
    if (input.currentPassword.empty() || input.newPassword.empty()) return &kNoPassword;
    if (input.newPassword != input.newPasswordAgain) return &kDiffer;
    if (input.newPassword == input.currentPassword) return &kSame;
    return nullptr;
}

}  // namespace

bool ChangePassword(bool serviceRunning, const std::string& loginUser, PasswordChangeDialog& dialog,
                    const ChangeFunction& change, SettingsStore& store, MessageBoxes& boxes,
                    const Clock& clock) {
    if (serviceRunning) {
        boxes.Show(sjis(txt::kChangeAfterStop), sjis(txt::kCaptionCaution), BoxIcon::Stop,
                   BoxButtons::Ok);
        return false;
    }

    PasswordChangeInput input;
    input.user = loginUser;
    if (!dialog.Run(input)) return false;

    if (const Refusal* refusal = CheckInput(input)) {
        boxes.Show(sjis(refusal->text), sjis(refusal->caption), BoxIcon::Stop, BoxButtons::Ok);
        return false;
    }

    if (!change(input.user, input.currentPassword, input.newPassword)) {
        boxes.Show(sjis(txt::kPasswordChangeFailed), sjis(txt::kCaptionChangeResult), BoxIcon::Stop,
                   BoxButtons::Ok);
        return false;
    }
    // The change may have taken minutes: the time recorded is the moment it went through.
    store.Write(key::LastTime, FormatChangeTime(clock.Now()));
    store.Flush();
    boxes.Show(sjis(txt::kPasswordChanged), sjis(txt::kCaptionChangeResult), BoxIcon::Information,
               BoxButtons::Ok);
    return true;
}

}  // namespace kestrel
