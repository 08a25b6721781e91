#pragma once

#include <string>

namespace kestrel {

enum class PasswordDirection { Scramble, Unscramble };

// The saved log-in password is kept scrambled in `Environment`/`Password`.
// Scramble: plain → scrambled; fails (scrambled emptied) for more than 16 bytes, a byte
// above 127 or a zero byte, and such a password is then saved as an empty value.
// Unscramble: scrambled → plain; fails (plain emptied) for a text the program never writes:
// a length that is not a multiple of four (a cut value), more than 17 groups, a group that is
// not hexadecimal or not exactly a scrambled character from 1 to 127. The caller then has no
// saved password. An empty or marker-only text gives an empty password and succeeds.
bool EncodePassword(PasswordDirection direction, std::string& plain, std::string& scrambled);

}  // namespace kestrel
