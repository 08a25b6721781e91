#include "net/CapabilityList.h"

#include <cctype>

namespace kestrel {

namespace starttls {
namespace {

bool StartsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

std::string_view WithoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    return line;
}

// Call take(line) for each whole line of bytes (without its line end); stops when take says so.
template <typename Take>
void ForEachLine(std::string_view bytes, Take take) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) return;
        if (!take(WithoutLineEnd(bytes.substr(start, end - start)))) return;
        start = end + 1;
    }
}

bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

}  // namespace

Listing ScanListing(std::string_view bytes, std::string_view accepted) {
    Listing state = Listing::Incomplete;
    bool first = true;
    ForEachLine(bytes, [&](std::string_view line) {
        if (first) {
            first = false;
            if (!StartsWith(line, accepted)) {
                state = Listing::Refused;
                return false;
            }
            return true;
        }
        if (line == ".") {
            state = Listing::Complete;
            return false;
        }
        return true;
    });
    return state;
}

bool Offers(std::string_view listing, std::string_view name) {
    bool first = true;
    bool found = false;
    ForEachLine(listing, [&](std::string_view line) {
        if (first) {
            first = false;
            return true;
        }
        if (line == ".") return false;
        const std::size_t wordEnd = line.find_first_of(" \t");
        if (SameWord(line.substr(0, wordEnd), name)) {
            found = true;
            return false;
        }
        return true;
    });
    return found;
}

}  // namespace starttls

}  // namespace kestrel
