#include "mail/PoppassdReply.h"

#include <cctype>

#include "res/TextsPasswd.h"

namespace kestrel::poppassd {
namespace {

bool BeginsWith(std::string_view reply, std::string_view code) {
    if (reply.size() < code.size()) return false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(reply[i])) !=
            std::tolower(static_cast<unsigned char>(code[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool IsOk(std::string_view reply) {
    return BeginsWith(reply, "200 ");
}

bool IsUserAccepted(std::string_view reply) {
    return BeginsWith(reply, "200 ") || BeginsWith(reply, "300 ");
}

pop3::CommandFault BuildCommands(std::string_view user, std::string_view oldPassword,
                                 std::string_view newPassword, Commands& out) {
    Commands built;
    const pop3::CommandFault faults[] = {
        pop3::BuildCommand(txt::kPoppassdUserFormat, user, built.user),
        pop3::BuildCommand(txt::kPoppassdPassFormat, oldPassword, built.pass),
        pop3::BuildCommand(txt::kPoppassdNewpassFormat, newPassword, built.newpass)};
    for (pop3::CommandFault fault : faults) {
        if (fault != pop3::CommandFault::None) return fault;
    }
    out = std::move(built);
    return pop3::CommandFault::None;
}

}  // namespace kestrel::poppassd
