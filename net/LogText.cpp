#include "net/LogText.h"

namespace kestrel::net {

std::string LogSafeText(std::string_view text) {
    std::string_view lineEnd;
    if (text.ends_with("\r\n")) {
        lineEnd = text.substr(text.size() - 2);
    } else if (text.ends_with('\n')) {
        lineEnd = text.substr(text.size() - 1);
    }
    text.remove_suffix(lineEnd.size());

    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() + lineEnd.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c != 0x7f) {
            out.push_back(ch);
        } else if (c == '\r') {
            out.append("\\r");
        } else if (c == '\n') {
            out.append("\\n");
        } else if (c == '\t') {
            out.append("\\t");
        } else {
            const char escape[] = {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
            out.append(escape, sizeof escape);
        }
    }
    out.append(lineEnd);
    return out;
}

}  // namespace kestrel::net
