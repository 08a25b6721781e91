// The settings file of an older version (kestrel.ini): every key the migration reads, and
// the number read from each integer value.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/IniFileReader.h"
#include "settings/IniMigration.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace kestrel;

namespace {

// The C library's reading of a leading decimal number, held to the int range.
int Reference(const std::string& text) {
    std::size_t i = text.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos) return 0;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
    long long n = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        n = n * 10 + (text[i] - '0');
        if (n > 1LL << 32) n = 1LL << 32;
    }
    n = negative ? -n : n;
    return static_cast<int>(n < INT_MIN ? INT_MIN : n > INT_MAX ? INT_MAX : n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    IniFileReader ini;
    ini.LoadFromBytes(content);
    static const char* const kKeys[][2] = {
        {"Environment", "AUTHPort"},  {"Environment", "POPServer"}, {"Environment", "debug"},
        {"Environment", "MailCheck"}, {"PeerChat", "AliaseName"},   {"PeerChat", "ChatPort"},
        {"Position", "left"},         {"WhereIs", "Places"},        {"Timer", "NewsTimer"},
    };
    for (const auto& [section, key] : kKeys) {
        const std::string value = ini.GetString(section, key, "113");
        FUZZ_CHECK(value.size() < IniFileReader::kBufferSize);
        FUZZ_CHECK(LeadingInt(value) == Reference(value));
    }
    // Sections and keys taken from the input itself.
    const std::size_t cut = size > 0 ? data[0] % (size + 1) : 0;
    const std::string value =
        ini.GetString(content.substr(0, cut).substr(0, 40), content.substr(cut).substr(0, 40), "");
    FUZZ_CHECK(value.size() < IniFileReader::kBufferSize);
    FUZZ_CHECK(LeadingInt(std::string(content)) == Reference(std::string(content)));
    return 0;
}
