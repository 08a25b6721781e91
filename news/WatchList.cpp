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
    const std::size_t lf = rest.find('\n');
    if (lf == std::string_view::npos) {
        line.text = rest;
        line.size = rest.size();
        return line;
    }
    const std::size_t textSize = lf > 0 && rest[lf - 1] == '\r' ? lf - 1 : lf;
    line.text = rest.substr(0, textSize);
    line.end = rest.substr(textSize, lf + 1 - textSize);
    line.size = lf + 1;
    line.ended = true;
    return line;
}

std::optional<WatchList::Group> WatchList::ParseLine(const Line& line) {
    // The line end counts as one character, so the text must leave room for it.
    if (!line.ended || line.text.size() >= kLineLimit) return std::nullopt;
    std::string_view text = line.text;
    if (const std::size_t zero = text.find('\0'); zero != std::string_view::npos) {
        text = text.substr(0, zero);
    }
    const std::size_t colon = text.find(':');
    Group group;
    group.name = std::string(text.substr(0, colon));
    if (group.name.size() < 2 || group.name.size() > kMaxNameLength) return std::nullopt;
    if (colon != std::string_view::npos) {
        std::string_view number = text.substr(colon + 1);
        number = number.substr(0, number.find(':'));
        group.last = nntp::ParseNumber(number);
    }
    return group;
}

std::string WatchList::Rewritten(const Line* lines, const GroupEntry* entries, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        const Line& line = lines[i];
        const GroupEntry& entry = entries[i];
        if (entry.name[0] == '\0') {
            out.append(line.text);
            out.append(line.end);
            continue;
        }
        out.append(entry.name, strnlen(entry.name, sizeof entry.name - 1));
        out.push_back(':');
        out.append(std::to_string(entry.last));
        // Only a line with its line end is ever asked; the user's choice of LF or CR LF stays.
        out.append(line.end.empty() ? std::string_view("\r\n") : line.end);
    }
    return out;
}

}  // namespace kestrel
