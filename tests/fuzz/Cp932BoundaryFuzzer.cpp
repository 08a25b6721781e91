// The CP932 helpers that cut texts and cross to Unicode: a cut never ends inside a
// double-byte character, and the conversions take any bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "mail/Pop3Reply.h"
#include "net/LogText.h"
#include "res/Cp932.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace kestrel;

namespace {

bool IsLead(unsigned char c) {
    return (c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc);
}

// Character starts found by walking from the beginning, as the program walks.
bool OnBoundary(std::string_view text, std::size_t at) {
    std::size_t i = 0;
    while (i < at) i += IsLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    return i == at;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t max = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    const std::size_t cut = Cp932PrefixLength(text, max);
    FUZZ_CHECK(cut <= max || cut == text.size());
    FUZZ_CHECK(cut <= text.size());
    FUZZ_CHECK(OnBoundary(text, cut));
    if (text.size() > max) FUZZ_CHECK(cut + 1 >= max);  // at most one byte short

    // A fixed field gets a whole-character prefix and its zero byte, never more.
    char field[64];
    CopyField(field, text);
    const std::string_view copied(field);
    FUZZ_CHECK(copied.size() < sizeof field);
    FUZZ_CHECK(text.substr(0, copied.size()) == copied || copied.size() < text.size());
    FUZZ_CHECK(copied.find('\0') == std::string_view::npos);

    const std::string safe = net::LogSafeText(text);
    std::string_view body = safe;
    if (body.ends_with("\r\n")) {
        body.remove_suffix(2);
    } else if (body.ends_with('\n')) {
        body.remove_suffix(1);
    }
    FUZZ_CHECK(body.find_first_of("\r\n") == std::string_view::npos);

    // Text that converts without a replacement character crosses back to the same
    // characters (CP932 has a few characters twice, so not always to the same bytes).
    const std::string utf8 = cp932ToUtf8(text);
    if (utf8.find("\xEF\xBF\xBD") == std::string::npos) {
        FUZZ_CHECK(cp932ToUtf8(utf8ToCp932(utf8)) == utf8);
    }
    (void)utf8ToCp932(text);  // arbitrary bytes taken for UTF-8
    return 0;
}
