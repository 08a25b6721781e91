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
    // A usable line holds at most this many characters, its line end (LF or CR LF) counted
    // as one. A longer line is read whole and skipped: a piece of it must never be taken for
    // a group of its own.
    static constexpr std::size_t kLineLimit = 125;
    // How much of the file a check reads at most to find its lines: far beyond any list a
    // person keeps, small enough that a runaway file costs no more than this much memory.
    // A line running past it is not usable; the bytes beyond are kept as they are.
    static constexpr std::size_t kHeadLimit = 4 << 20;
    // The longest usable name: its rewritten line, name ":" number (up to 11 characters for
    // an int32) and the line end, must still fit the limit, or the next check would skip the
    // group it has just remembered.
    static constexpr std::size_t kMaxNameLength = kLineLimit - 1 - 1 - 11;

    struct Line {
        std::size_t offset = 0;  // where the line starts in the file
        std::size_t size = 0;    // bytes taken, line end included
        std::string_view text;   // without the line end
        bool ended = false;      // a line end closed it (not the file's end)
        std::string_view end;    // the line end itself: "\n", "\r\n" or empty
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
    // Nothing for a line that is not usable: too short or too long a name, too long a line,
    // or no line end (only text before a line end counts).
    static std::optional<Group> ParseLine(const Line& line);

    // The new bytes of the lines read, lines[i] belonging to entries[i]: a line whose entry
    // holds a name becomes "name:number" with the line's own line end; every other line
    // (skipped, not asked) keeps its bytes. lines are views into the file's bytes.
    static std::string Rewritten(const Line* lines, const GroupEntry* entries, std::size_t count);
};

}  // namespace kestrel
