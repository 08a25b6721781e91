#include "app/PasswordAge.h"

#include <algorithm>
#include <climits>

#include "mail/Pop3Reply.h"
#include "platform/MessageBoxes.h"
#include "res/Text.h"
#include "res/TextsPasswd.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"

namespace kestrel {
namespace {

// The leading digits of a part, held within what a calendar field can take.
int LeadingNumber(std::string_view part) {
    long long value = 0;
    for (char c : part) {
        if (c < '0' || c > '9') break;
        value = std::min<long long>(value * 10 + (c - '0'), INT_MAX / 2);
    }
    return static_cast<int>(value);
}

}  // namespace

std::string FormatChangeTime(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char text[64] = {};
    std::strftime(text, sizeof text, txt::kLastTimeFormat, &local);
    return text;
}

std::time_t ParseChangeTime(std::string_view lastTime) {
    std::string rest(lastTime);
    rest += ".0.0.0.0.0.0.";
    int numbers[5] = {};
    for (int& number : numbers) {
        const std::size_t dot = rest.find('.');
        number = LeadingNumber(std::string_view(rest).substr(0, dot));
        rest.erase(0, dot + 1);
    }
    std::tm local{};
    local.tm_year = numbers[0] - 1900;
    local.tm_mon = numbers[1] - 1;
    local.tm_mday = numbers[2];
    local.tm_hour = numbers[3];
    local.tm_min = numbers[4];
    local.tm_sec = 0;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

long long AgeInDays(std::time_t then, std::time_t now) {
    return (static_cast<long long>(now) - static_cast<long long>(then)) / 86400;
}

bool CheckPasswordAge(SettingsStore& store, int passwdCheck, int checkDays, std::time_t now,
                      MessageBoxes& boxes) {
    const std::string lastTime = store.GetString(key::LastTime);
    if (lastTime.empty()) {
        store.Write(key::LastTime, FormatChangeTime(now));
        store.Flush();
        return true;
    }
    if (!passwdCheck) return true;

    const long long days = AgeInDays(ParseChangeTime(lastTime), now);
    if (days < checkDays) return true;
    const long long shown = std::min<long long>(days, INT_MAX);
    boxes.Show(FillText(sjis(txt::kPasswordAgeFormat), {std::to_string(shown)}),
               sjis(txt::kCaptionWarning), BoxIcon::Warning, BoxButtons::Ok);
    return false;
}

}  // namespace kestrel
