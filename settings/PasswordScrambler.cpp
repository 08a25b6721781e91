#include "settings/PasswordScrambler.h"

#include <cstdio>

namespace kestrel {
namespace {

constexpr std::size_t kMaxPlain = 16;
constexpr std::size_t kMaxGroups = kMaxPlain + 1;
// The unscrambling never reads the marker's group, so any letter keeps old values readable.
constexpr char kMarker = 'K';

unsigned factor(std::size_t k) {
    return static_cast<unsigned>(27 * k + 3);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool scramble(const std::string& plain, std::string& out) {
    out.clear();
    if (plain.size() > kMaxPlain) return false;
    const std::string text = plain + kMarker;
    const std::size_t len = text.size();
    out.reserve(4 * len);
    // Groups are written back to front: the marker's group (k = 0) comes first.
    for (std::size_t k = 0; k < len; ++k) {
        const auto b = static_cast<unsigned char>(text[len - 1 - k]);
        // A zero byte would scramble, but could never be read back.
        if (b > 127 || b == 0) {
            out.clear();
            return false;
        }
        char group[8];
        std::snprintf(group, sizeof group, "%04x", b * factor(k) + 2);
        out.append(group, 4);
    }
    return true;
}

// The value of one group of four hexadecimal digits; -1 when a digit is not one.
long groupValue(const std::string& scrambled, std::size_t group) {
    long x = 0;
    for (std::size_t d = 0; d < 4; ++d) {
        const int v = hexDigit(scrambled[4 * group + d]);
        if (v < 0) return -1;
        x = x * 16 + v;
    }
    return x;
}

// Only a text the scrambling could have written reads back: a cut or altered value would
// otherwise give another password, which the log-in would send to the server unasked.
bool unscramble(const std::string& scrambled, std::string& out) {
    out.clear();
    if (scrambled.size() % 4 != 0) return false;
    const std::size_t groups = scrambled.size() / 4;
    if (groups == 0) return true;
    if (groups > kMaxGroups) return false;
    // The marker's value is never read, so any marker keeps old values readable; its digits
    // still have to be digits.
    if (groupValue(scrambled, 0) < 0) return false;
    for (std::size_t i = 0; i + 1 < groups; ++i) {
        const std::size_t k = groups - 1 - i;
        const long x = groupValue(scrambled, k);
        const long f = static_cast<long>(factor(k));
        if (x < 2 || (x - 2) % f != 0) {
            out.clear();
            return false;
        }
        const long c = (x - 2) / f;
        if (c < 1 || c > 127) {
            out.clear();
            return false;
        }
        out.push_back(static_cast<char>(c));
    }
    return true;
}

}  // namespace

bool EncodePassword(PasswordDirection direction, std::string& plain, std::string& scrambled) {
    if (direction == PasswordDirection::Scramble) return scramble(plain, scrambled);
    return unscramble(scrambled, plain);
}

}  // namespace kestrel
