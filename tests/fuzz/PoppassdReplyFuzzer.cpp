// poppassd replies and the three command lines of a change built from outside fields.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "mail/PoppassdReply.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace kestrel;

namespace {

bool OneLine(const std::string& line) {
    return line.size() < pop3::kCommandAreaSize && line.size() >= 2 &&
           line.find_first_of(std::string_view("\r\n\0", 3)) == line.size() - 2;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const bool ok = poppassd::IsOk(input);
    const bool accepted = poppassd::IsUserAccepted(input);
    FUZZ_CHECK(!ok || accepted);  // "200 " answers USER too

    // Three fields cut from the input at two of its bytes.
    const std::size_t a = size > 0 ? data[0] % (size + 1) : 0;
    const std::size_t b = size > 1 ? a + data[1] % (size - a + 1) : a;
    poppassd::Commands commands;
    if (poppassd::BuildCommands(input.substr(0, a), input.substr(a, b - a), input.substr(b),
                                commands) == pop3::CommandFault::None) {
        FUZZ_CHECK(OneLine(commands.user));
        FUZZ_CHECK(OneLine(commands.pass));
        FUZZ_CHECK(OneLine(commands.newpass));
    }
    return 0;
}
