#pragma once

#include <string>
#include <string_view>

namespace kestrel {

// The program keeps every text as CP932 bytes; these are the only two ways across.
// Invalid input never throws: bytes that do not convert become '?' (to CP932) or
// U+FFFD (to UTF-8).
std::string utf8ToCp932(std::string_view utf8);
std::string cp932ToUtf8(std::string_view cp932);

}  // namespace kestrel
