// Ident queries as anyone on the network may send them: the query taken from the first
// data, the reply line and its log line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ident/IdentReply.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace kestrel;

namespace {

bool NoControlBytes(std::string_view text) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One data event holds at most 256 bytes; the rest of the input is the user id.
    const std::size_t eventSize = std::min<std::size_t>(size, 256);
    const char* event = reinterpret_cast<const char*>(data);
    const std::string_view user(event + eventSize, size - eventSize);

    const auto query = ident::QueryOf(event, static_cast<int>(eventSize));
    FUZZ_CHECK(query.has_value() == (eventSize > 1));
    if (!query) return 0;
    FUZZ_CHECK(query->size() + 2 <= eventSize);
    FUZZ_CHECK(NoControlBytes(*query));

    const std::string reply = ident::BuildReply(*query, user);
    FUZZ_CHECK(reply.size() <= ident::kLineAreaSize - 1);
    FUZZ_CHECK(reply.size() >= 2 && reply.substr(reply.size() - 2) == "\r\n");
    if (NoControlBytes(user)) {
        FUZZ_CHECK(NoControlBytes(std::string_view(reply).substr(0, reply.size() - 2)));
    }
    const std::string log = ident::BuildReplyLog(static_cast<int>(size) - 128, reply);
    FUZZ_CHECK(log.size() <= ident::kLineAreaSize - 1);
    return 0;
}
