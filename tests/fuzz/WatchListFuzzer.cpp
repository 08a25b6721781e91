// The watch list as a user or a runaway tool may leave it: the lines a check reads, the
// groups they name, and the rewrite, which must keep every line it does not own.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "news/NewsCheckState.h"
#include "news/WatchList.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace kestrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    std::vector<WatchList::Line> lines;
    std::vector<GroupEntry> entries;
    std::vector<std::int32_t> remembered;
    std::size_t offset = 0;
    while (const auto line = WatchList::ReadLine(content, offset)) {
        FUZZ_CHECK(line->offset == offset && line->size > 0);
        FUZZ_CHECK(std::string(line->text) + std::string(line->end) ==
                   content.substr(offset, line->size));
        offset += line->size;
        GroupEntry entry;
        std::int32_t last = 0;
        if (const auto group = WatchList::ParseLine(*line)) {
            FUZZ_CHECK(group->name.size() >= 2 && group->name.size() < WatchList::kLineLimit);
            FUZZ_CHECK(group->name.find_first_of(std::string_view(":\n\0", 3)) ==
                       std::string::npos);
            std::memcpy(entry.name, group->name.data(), group->name.size());
            // Every other group grows, as a server would report it.
            entry.last =
                lines.size() % 2 == 0 && group->last < INT32_MAX ? group->last + 1 : group->last;
            last = entry.last;
        }
        lines.push_back(*line);
        entries.push_back(entry);
        remembered.push_back(last);
        if (lines.size() == MAX_GROUPS) break;
    }
    if (lines.size() < MAX_GROUPS) FUZZ_CHECK(offset == size);

    // Nothing asked: the rewrite gives the lines back byte for byte.
    std::vector<GroupEntry> none(entries.size());
    FUZZ_CHECK(WatchList::Rewritten(lines.data(), none.data(), lines.size()) ==
               content.substr(0, offset));

    // Rewritten and read again: the same lines, the asked ones with their new numbers.
    const std::string rewritten = WatchList::Rewritten(lines.data(), entries.data(), lines.size()) +
                                  std::string(content.substr(offset));
    std::size_t at = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto line = WatchList::ReadLine(rewritten, at);
        FUZZ_CHECK(line.has_value());
        at += line->size;
        const auto group = WatchList::ParseLine(*line);
        if (entries[i].name[0] == '\0') {
            FUZZ_CHECK(line->text == lines[i].text && line->end == lines[i].end);
            continue;
        }
        FUZZ_CHECK(group.has_value());
        FUZZ_CHECK(group->name == entries[i].name);
        FUZZ_CHECK(group->last == remembered[i]);
        FUZZ_CHECK(line->end == lines[i].end);
    }
    FUZZ_CHECK(rewritten.substr(at) == content.substr(offset));
    return 0;
}
