// NNTP replies: the greeting (200 or 201), the last number of a GROUP reply, the numbers of the
// watch list, and the GROUP line built from a name the list holds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "news/NntpReply.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace kestrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const bool ready = nntp::IsReady(input);
    // A reader server greets with 200, a read-only one with 201; the check takes both.
    FUZZ_CHECK(!ready || input.substr(0, 3) == "200" || input.substr(0, 3) == "201");
    const std::int32_t last = nntp::ParseGroupLast(input);
    FUZZ_CHECK(last == 0 || input.substr(0, 3) == "211");
    (void)nntp::ParseNumber(input);

    std::string command = "untouched";
    if (nntp::BuildGroupCommand(input, command)) {
        FUZZ_CHECK(command == "group " + std::string(input) + "\r\n");
        FUZZ_CHECK(command.find_first_of(std::string_view("\r\n\0", 3)) == command.size() - 2);
    } else {
        FUZZ_CHECK(command == "untouched");
    }
    return 0;
}
