#include "res/Cp932.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
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

std::string utf8ToCp932Marked(std::string_view utf8, std::size_t* replaced) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(utf8);
    std::string out;
    out.reserve(utf8.size() + 4);
    char* src = const_cast<char*>(utf8.data());
    size_t srcLeft = utf8.size();
    char buf[512];
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, dst - buf);
        if (r != static_cast<size_t>(-1) || errno == E2BIG) continue;
        // The whole character goes, not byte by byte: its length from its first byte.
        const auto lead = static_cast<unsigned char>(*src);
        size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        length = std::min(length, srcLeft);
        for (size_t i = 1; i < length; ++i)
            if ((static_cast<unsigned char>(src[i]) & 0xC0) != 0x80) length = i;
        out.append("\x81\xAC");
        if (replaced) ++*replaced;
        src += length;
        srcLeft -= length;
    }
    char* dst = buf;
    size_t dstLeft = sizeof buf;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buf, dst - buf);
    iconv_close(cd);
    return out;
}

bool IsCp932LeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

std::size_t Cp932CharLength(std::string_view text, std::size_t at) {
    if (at + 1 >= text.size() || !IsCp932LeadByte(static_cast<unsigned char>(text[at]))) return 1;
    const auto second = static_cast<unsigned char>(text[at + 1]);
    return (second >= 0x40 && second <= 0x7E) || (second >= 0x80 && second <= 0xFC) ? 2 : 1;
}

std::size_t Cp932Find(std::string_view text, std::string_view needle, std::size_t from) {
    for (std::size_t at = from; at < text.size(); at += Cp932CharLength(text, at))
        if (text.substr(at, needle.size()) == needle) return at;
    return needle.empty() && from == text.size() ? from : std::string_view::npos;
}

std::size_t Cp932Find(std::string_view text, char c, std::size_t from) {
    return Cp932Find(text, std::string_view(&c, 1), from);
}

std::size_t Cp932PrefixLength(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text.size();
    std::size_t i = 0;
    while (i < maxBytes) {
        const std::size_t width =
            IsCp932LeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
        if (i + width > maxBytes) break;
        i += width;
    }
    return i;
}

void CopyField(char* field, std::size_t size, std::string_view text) {
    if (size == 0) return;
    const std::size_t n = Cp932PrefixLength(text, size - 1);
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, size - n);
}

}  // namespace kestrel
