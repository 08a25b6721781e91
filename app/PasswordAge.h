#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace kestrel {

class MessageBoxes;
class SettingsStore;

// The local time of a password change as kept in Environment/LastTime: "%Y.%m.%d.%H.%M".
std::string FormatChangeTime(std::time_t when);

// The time a LastTime text stands for: five numbers separated by ".", year, month, day,
// hour, minute (leading digits of each; missing or digitless parts read as 0), as local time
// with the system deciding on daylight saving. Out-of-range parts are carried over the way
// the system's calendar does it.
std::time_t ParseChangeTime(std::string_view lastTime);

// Whole days from then to now, truncated toward zero (negative when then lies ahead).
long long AgeInDays(std::time_t then, std::time_t now);

// The reminder at the first service start of a run: true when the service may start. An
// empty LastTime (first run) is set to now and lets the service start; otherwise, with the
// reminder on, a password checkDays or more days old gets the warning box and stops the
// start.
bool CheckPasswordAge(SettingsStore& store, int passwdCheck, int checkDays, std::time_t now,
                      MessageBoxes& boxes);

}  // namespace kestrel
