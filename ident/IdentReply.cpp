#include "ident/IdentReply.h"

#include <cstring>

#include "res/Cp932.h"
#include "res/Text.h"
#include "res/TextsIdent.h"

namespace kestrel::ident {

std::optional<std::string> QueryOf(const char* data, int length) {
    if (length <= 1) return std::nullopt;
    const std::size_t size = static_cast<std::size_t>(length - 2);
    const void* zero = std::memchr(data, '\0', size);
    const std::size_t text =
        zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - data) : size;
    // Only the query line is echoed: whatever follows its line end in the same packet, and
    // any control byte, would otherwise go back to the asker inside our reply line.
    std::string query;
    for (std::size_t i = 0; i < text; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (c == '\r' || c == '\n') break;
        if (c < 0x20 || c == 0x7f) continue;
        query.push_back(data[i]);
    }
    return query;
}

std::string BuildReply(std::string_view query, std::string_view user) {
    constexpr std::size_t kLimit = kLineAreaSize - 1;
    const std::size_t fixed = FillText(txt::kIdentReplyFormat, {"", ""}).size();
    std::size_t room = kLimit - fixed;
    // The user id is what the asking server wants to learn, so it keeps its room first.
    const std::size_t userLength = Cp932PrefixLength(user, room);
    room -= userLength;
    const std::size_t queryLength = Cp932PrefixLength(query, room);
    return FillText(txt::kIdentReplyFormat,
                    {query.substr(0, queryLength), user.substr(0, userLength)});
}

std::string BuildReplyLog(int socketId, std::string_view reply) {
    constexpr std::size_t kLimit = kLineAreaSize - 1;
    const std::string id = std::to_string(socketId);
    const std::size_t fixed = FillText(txt::kIdentReplyLogFormat, {id, ""}).size();
    const std::size_t replyLength = Cp932PrefixLength(reply, kLimit - fixed);
    return FillText(txt::kIdentReplyLogFormat, {id, reply.substr(0, replyLength)});
}

}  // namespace kestrel::ident
