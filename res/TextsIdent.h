#pragma once

// Fixed texts of the ident responder, in UTF-8; use them through sjis() (res/Text.h).

namespace kestrel::txt {

inline constexpr char kIdentificationWindowTitle[] = "Identification Window";
inline constexpr char kIdentSocketReady[] = "ident socket ready\r\n";
inline constexpr char kIdentReplyFormat[] = "%s:USERID:MS-DOS:%s\r\n";
inline constexpr char kIdentReplyLogFormat[] = "(socket = %d) %s";

}  // namespace kestrel::txt
