#include "res/Cp932.h"

#include <iconv.h>

#include <cerrno>
#include <mutex>

namespace kestrel {
namespace {

// iconv descriptors are not safe to share between threads, so each conversion opens its own.
std::string convert(std::string_view in, const char* from, const char* to,
                    std::string_view replacement) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
    std::string out;
    out.reserve(in.size() * 2 + 4);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buf[512];
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, dst - buf);
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL (truncated sequence): replace one byte and go on.
            out.append(replacement);
            ++src;
            --srcLeft;
        }
    }
    char* dst = buf;
    size_t dstLeft = sizeof buf;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buf, dst - buf);
    iconv_close(cd);
    return out;
}

}  // namespace

std::string utf8ToCp932(std::string_view utf8) {
    return convert(utf8, "UTF-8", "CP932", "?");
}

std::string cp932ToUtf8(std::string_view cp932) {
    return convert(cp932, "CP932", "UTF-8", "\xEF\xBF\xBD");
}

}  // namespace kestrel
