#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// What a POP3 reply means and how the lines the program sends are put together. No sockets
// here: the mail check and the log-in verification both build on these.
namespace kestrel::pop3 {

// Commands are put together in an area of this size, zero byte included.
inline constexpr std::size_t kCommandAreaSize = 128;
// Failure texts quoting a reply: the mail check's area and the log-in verification's.
inline constexpr std::size_t kCheckFailureAreaSize = 256;
inline constexpr std::size_t kVerifyFailureAreaSize = 252;

// "+OK" in the first three bytes, in any case.
bool IsPositiveReply(std::string_view reply);

// The message total of a PASS reply: the word four bytes after the first "has" (or from the
// fourth byte on when there is no "has"), up to its first space; its leading digits, 0 when
// there are none or when no space ends the word. Too large a number stays at the maximum.
std::uint32_t ParseMessageTotal(std::string_view passReply);

// The number of a LAST reply: from the fifth byte on, up to the first "\r" (nothing when
// there is none), up to the first space; its leading digits, 0 when there are none.
std::uint32_t ParseLastNumber(std::string_view lastReply);

enum class CommandFault { None, LineBreak, TooLong };

// Put field into a command format with one "%s" (such as "user %s\r\n"). A field holding CR,
// LF or a zero byte would end the line early and is refused, as is one too long for the
// command area: the command goes out whole or not at all.
CommandFault BuildCommand(std::string_view format, std::string_view field, std::string& out);

// A rejection text naming the user and quoting the reply, kept within area bytes (zero byte
// included): the quoted reply is cut first, then the user, never inside a double-byte
// character.
std::string FormatRejection(std::string_view format, std::string_view user, std::string_view reply,
                            std::size_t area);
}  // namespace kestrel::pop3
