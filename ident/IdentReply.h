#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The ident responder's lines, without sockets: the query taken from a connection's first
// data, the reply built from it and the event-log line that records the reply.
namespace kestrel::ident {

// The reply and its log line are each put together in an area of this size, zero byte
// included.
inline constexpr std::size_t kLineAreaSize = 256;

// The query of one data event: the data without their last two bytes (the "\r\n" of a whole
// query line), up to the first zero byte, CR or LF, with any other control byte left out.
// None for data of 0 or 1 bytes, which get no reply.
std::optional<std::string> QueryOf(const char* data, int length);

// "%s:USERID:MS-DOS:%s\r\n" with the query and the user id, at most 255 bytes. When the two
// do not fit, the query is cut first, then the user id (never inside a double-byte
// character); the fixed part and the line end always stay whole.
std::string BuildReply(std::string_view query, std::string_view user);

// "(socket = %d) %s" with the connection's identity and the reply, at most 255 bytes; the
// reply is cut to fit.
std::string BuildReplyLog(int socketId, std::string_view reply);

}  // namespace kestrel::ident
