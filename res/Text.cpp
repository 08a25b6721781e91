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

}  // namespace kestrel
