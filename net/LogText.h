#pragma once

#include <string>
#include <string_view>

namespace kestrel::net {

// Text from outside (a peer's data, a server's reply) made fit for a log line: every control
// byte is written as an escape ("\r", "\n", "\t", "\x1b"), so whatever a peer sends can never
// start a line of its own in a log. One line end at the very end ("\r\n" or "\n") stays as it
// is, so a well-formed reply is logged as it came. Control bytes are never the second byte of
// a CP932 character, so double-byte text passes unchanged.
std::string LogSafeText(std::string_view text);

}  // namespace kestrel::net
