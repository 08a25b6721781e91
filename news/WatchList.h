#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrel {

struct GroupEntry;

// The format of the newsgroup watch list newschck.lst: one group per line, "name",
// "name:number" or "name:number:anything". No files here, only the bytes.
class WatchList {
public:
    // A line is read with at most this many characters, its line end (LF or CR LF) counted
    // as one; the rest of a longer line is read as the next line.
    static constexpr std::size_t kLineLimit = 125;
    // The most bytes the first MAX_GROUPS lines can span (a CR LF line end is two bytes).
    static constexpr std::size_t kHeadBytes = 60 * (kLineLimit + 1);

    struct Line {
        std::size_t offset = 0;  // where the line starts in the file
        std::size_t size = 0;    // bytes taken, line end included
        std::string_view text;   // without the line end
        bool ended = false;      // a line end closed it (not cut, not the file's end)
    };

    struct Group {
        std::string name;
        std::int32_t last = 0;
    };

    // The line starting at offset of content (the file's bytes from its start); nothing when
    // offset is at or past the end.
    static std::optional<Line> ReadLine(std::string_view content, std::size_t offset);

    // The group a line names: the text before the first ":" (up to a zero byte, as a C string
    // ends there), at least 2 bytes; the number between the first and the second ":".
    // Nothing for a line that is not usable: too short a name, or no line end (only text
    // before a line end counts).
    static std::optional<Group> ParseLine(const Line& line);

    // The rewritten lines, "name:number" and CR LF each, from entries[0] up to the first entry
    // whose name is empty (or count).
    static std::string RewrittenLines(const GroupEntry* entries, std::size_t count);
    // How many entries RewrittenLines writes.
    static std::size_t RewrittenCount(const GroupEntry* entries, std::size_t count);
};

}  // namespace kestrel
