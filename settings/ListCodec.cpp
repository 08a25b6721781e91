#include "settings/ListCodec.h"

#include "res/Text.h"
#include "res/TextsCore.h"

namespace kestrel {
namespace {

bool isCp932Lead(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

std::size_t findOnBoundary(std::string_view text, std::string_view sep, std::size_t from) {
    for (std::size_t i = from; i + sep.size() <= text.size(); ++i) {
        if (text.compare(i, sep.size(), sep) == 0) return i;
        if (isCp932Lead(static_cast<unsigned char>(text[i]))) ++i;
    }
    return std::string_view::npos;
}

// The item without a lead byte left alone at its end: such a byte would take the
// separator's '~' for its second byte when the list is read back, and the item would grow
// the separator and everything after it.
std::string_view withoutLoneLead(std::string_view item) {
    std::size_t i = 0;
    while (i < item.size()) {
        const bool lead = isCp932Lead(static_cast<unsigned char>(item[i]));
        if (lead && i + 1 == item.size()) return item.substr(0, i);
        i += lead ? 2 : 1;
    }
    return item;
}

}  // namespace

std::vector<std::string> DecodeList(std::string_view stored) {
    const std::string& sep = sjis(txt::kListSeparator);
    const std::string text = std::string(stored) + sep;
    std::vector<std::string> items;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t at = findOnBoundary(text, sep, pos);
        // A lone lead byte at the very end can swallow the appended separator's first byte.
        if (at == std::string_view::npos) {
            if (pos < stored.size()) items.emplace_back(stored.substr(pos));
            break;
        }
        if (at > pos) items.emplace_back(text.substr(pos, at - pos));
        pos = at + sep.size();
    }
    return items;
}

std::string EncodeList(const std::vector<std::string>& items) {
    const std::string& sep = sjis(txt::kListSeparator);
    std::string out;
    for (const std::string& whole : items) {
        const std::string_view item = withoutLoneLead(whole);
        if (item.empty()) continue;
        out += item;
        out += sep;
    }
    return out;
}

}  // namespace kestrel
