#include "res/Text.h"

#include <mutex>
#include <unordered_map>

#include "res/Cp932.h"

namespace kestrel {

const std::string& sjis(const char* utf8Text) {
    static std::mutex lock;
    static std::unordered_map<const char*, std::string> cache;
    std::lock_guard guard(lock);
    auto it = cache.find(utf8Text);
    if (it == cache.end()) it = cache.emplace(utf8Text, utf8ToCp932(utf8Text)).first;
    return it->second;
}

std::string FillText(std::string_view format, std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(format.size() + 64);
    auto next = args.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() &&
            (format[i + 1] == 's' || format[i + 1] == 'd') && next != args.end()) {
            out.append(*next++);
            ++i;
        } else {
            out.push_back(format[i]);
        }
    }
    return out;
}

std::string FillNumbers(std::string_view format, int first, int second) {
    const std::string a = std::to_string(first);
    const std::string b = std::to_string(second);
    return FillText(format, {a, b});
}

}  // namespace kestrel
