#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

// Reads an old-style private-profile INI file kept in CP932, the way the Windows profile
// reader answers: "[section]" headers and "key=value" lines, section and key matched without
// regard to ASCII case, values trimmed of blanks and of one pair of enclosing quotes, and cut
// to what a 1,024-byte buffer holds. Lines that are neither are skipped, so a damaged or
// binary file only yields defaults.
class IniFileReader {
public:
    // The reader's buffer, terminator included: a value keeps at most kBufferSize - 1 bytes.
    static constexpr std::size_t kBufferSize = 1024;

    // False when the file cannot be opened or read; the reader is then empty.
    bool Load(const std::string& path);
    void LoadFromBytes(std::string_view content);

    // The value of key in section, or defaultValue when there is none; both cut to the buffer.
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const;

private:
    struct Entry {
        std::string section;
        std::string key;
        std::string value;
    };
    std::vector<Entry> m_entries;
};

}  // namespace kestrel
