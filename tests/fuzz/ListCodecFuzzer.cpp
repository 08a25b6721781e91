// The list encoding of the places and broadcast addresses: any stored text reads, and what
// is written reads back as it was.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/ListCodec.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace kestrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view stored(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> items = DecodeList(stored);
    std::size_t total = 0;
    for (const std::string& item : items) {
        FUZZ_CHECK(!item.empty());
        total += item.size();
    }
    FUZZ_CHECK(total <= size);

    // Written and read again, a read list stays the same list, and so does its stored form.
    const std::string again = EncodeList(items);
    const std::vector<std::string> back = DecodeList(again);
    if (back != items) {
        // Only an item cut inside a character may lose that cut byte.
        FUZZ_CHECK(back.size() <= items.size());
    }
    FUZZ_CHECK(EncodeList(back) == again);
    FUZZ_CHECK(DecodeList(EncodeList(back)) == back);
    return 0;
}
