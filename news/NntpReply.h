#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// What an NNTP reply means, how the GROUP line is put together and how the watch list's
// numbers read. No sockets here.
namespace kestrel::nntp {

// "200" (posting allowed) or "201" (no posting) in the first three bytes lets a check go on:
// the check only reads.
bool IsReady(std::string_view greeting);

// The last article number of a GROUP reply "211 count first last group": from the fifth
// byte on, the third blank-separated field. 0 for any other reply or a missing field.
std::int32_t ParseGroupLast(std::string_view reply);

// A decimal number as the C library reads one: leading blanks, an optional sign, the leading
// digits (none: 0). A number beyond 32 bits stays at the nearest end of the range.
std::int32_t ParseNumber(std::string_view text);

// "group <name>\r\n"; false (out untouched) when the name holds CR, LF or a zero byte, which
// would end the line early and smuggle a command of the file's choosing to the server.
bool BuildGroupCommand(std::string_view name, std::string& out);
}  // namespace kestrel::nntp
