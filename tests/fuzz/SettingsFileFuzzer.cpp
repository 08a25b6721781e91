// The settings file as a user's editor or a broken disk may leave it: every value the
// program reads comes back within its range, and a string written reads back as written.
#include <QStandardPaths>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "res/Cp932.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace kestrel;

namespace {

std::string g_file;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char dir[] = "/tmp/kestrel-fuzz-settings-XXXXXX";
    if (!::mkdtemp(dir)) std::abort();
    ::setenv("XDG_CONFIG_HOME", dir, 1);
    g_file = SettingsStore().FilePath();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(g_file, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    // Writing the file waits for the disk, so only one input in eight takes that road.
    const bool write = size > 0 && data[0] % 8 == 0;
    const std::string text = utf8ToCp932(cp932ToUtf8(content.substr(0, 64)));
    {
        SettingsStore store;
        for (const SettingKey* key : AllSettingKeys()) {
            if (key->type == SettingType::Int) {
                const int value = store.GetInt(*key);
                FUZZ_CHECK(value >= key->minValue && value <= key->maxValue);
            } else {
                (void)store.GetString(*key);
            }
        }
        if (!write) return 0;
        // A value of the user's own text goes in and comes out whole, whatever the file held.
        store.Write(key::Places, text);
        store.Flush();
    }
    SettingsStore reread;
    FUZZ_CHECK(cp932ToUtf8(reread.GetString(key::Places)) == cp932ToUtf8(text));
    return 0;
}
