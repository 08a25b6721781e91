#include "news/WatchList.h"

#include <cstring>

#include "news/NewsCheckState.h"
#include "news/NntpReply.h"

namespace kestrel {

std::optional<WatchList::Line> WatchList::ReadLine(std::string_view content, std::size_t offset) {
    if (offset >= content.size()) return std::nullopt;
    Line line;
    line.offset = offset;
    const std::string_view rest = content.substr(offset);
    // The line end counts as one character, so a line whose text fills the limit has no room
    // for it: the text is cut there and its line end becomes a line of its own.
    std::size_t i = 0;
    for (; i < rest.size() && i < kLineLimit; ++i) {
        if (rest[i] == '\n') {
            line.text = rest.substr(0, i);
            line.size = i + 1;
            line.ended = true;
            return line;
        }
        if (rest[i] == '\r' && i + 1 < rest.size() && rest[i + 1] == '\n') {
            line.text = rest.substr(0, i);
            line.size = i + 2;
            line.ended = true;
            return line;
        }
    }
    line.text = rest.substr(0, i);
    line.size = i;
    line.ended = false;
    return line;
}

std::optional<WatchList::Group> WatchList::ParseLine(const Line& line) {
    if (!line.ended) return std::nullopt;
    std::string_view text = line.text;
    if (const std::size_t zero = text.find('\0'); zero != std::string_view::npos) {
        text = text.substr(0, zero);
    }
    const std::size_t colon = text.find(':');
    Group group;
    group.name = std::string(text.substr(0, colon));
    if (group.name.size() < 2) return std::nullopt;
    if (colon != std::string_view::npos) {
        std::string_view number = text.substr(colon + 1);
        number = number.substr(0, number.find(':'));
        group.last = nntp::ParseNumber(number);
    }
    return group;
}

std::size_t WatchList::RewrittenCount(const GroupEntry* entries, std::size_t count) {
    std::size_t n = 0;
    while (n < count && entries[n].name[0] != '\0') ++n;
    return n;
}

std::string WatchList::RewrittenLines(const GroupEntry* entries, std::size_t count) {
    std::string out;
    const std::size_t n = RewrittenCount(entries, count);
    for (std::size_t i = 0; i < n; ++i) {
        out.append(entries[i].name, strnlen(entries[i].name, sizeof entries[i].name - 1));
        out.push_back(':');
        out.append(std::to_string(entries[i].last));
        out.append("\r\n");
    }
    return out;
}

}  // namespace kestrel
