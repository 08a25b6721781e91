#pragma once

#include <string>
#include <string_view>

#include "mail/Pop3Reply.h"

// What a poppassd reply means and the lines the password change sends. No sockets here.
namespace kestrel::poppassd {

// The reply begins with "200 " (compared without regard to case).
bool IsOk(std::string_view reply);
// The reply to USER: "200 " or "300 ".
bool IsUserAccepted(std::string_view reply);

struct Commands {
    std::string user;
    std::string pass;
    std::string newpass;
};

// The three lines of a change, all put together before anything is sent, so a field that
// cannot go out whole (a line break inside, or too long for the 128-byte command area) stops
// the change before the server has seen any of it. The first fault found is returned.
pop3::CommandFault BuildCommands(std::string_view user, std::string_view oldPassword,
                                 std::string_view newPassword, Commands& out);

}  // namespace kestrel::poppassd
