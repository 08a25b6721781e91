#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrel {

// The program keeps every text as CP932 bytes; these are the only two ways across.
// Invalid input never throws: bytes that do not convert become '?' (to CP932) or
// U+FFFD (to UTF-8).
std::string utf8ToCp932(std::string_view utf8);
std::string cp932ToUtf8(std::string_view cp932);
// As utf8ToCp932, but a character CP932 lacks (a Chinese 张, an emoji) becomes the geta mark
// "〓" whole, as Japanese text marks a missing glyph; replaced, when given, grows by one for
// each such character.
std::string utf8ToCp932Marked(std::string_view utf8, std::size_t* replaced = nullptr);

// The first byte of a CP932 double-byte character.
bool IsCp932LeadByte(unsigned char c);

// The bytes of the character that starts at `at`: two for a first byte followed by a valid
// second byte, else one (a stray first byte stands alone, as the conversion shows it).
std::size_t Cp932CharLength(std::string_view text, std::size_t at);

// Where needle first stands in text at or after `from`, starting on a character boundary:
// the second byte of a double-byte character is never taken for an ASCII "[" or "]". `from`
// must itself be a boundary. npos when there is none.
std::size_t Cp932Find(std::string_view text, std::string_view needle, std::size_t from = 0);
std::size_t Cp932Find(std::string_view text, char c, std::size_t from = 0);

// The longest prefix of a CP932 text of at most maxBytes that does not end inside a
// double-byte character.
std::size_t Cp932PrefixLength(std::string_view text, std::size_t maxBytes);

// Copy text into a fixed field of size bytes: always zero-terminated and zero-filled, cut
// where it must be without splitting a double-byte character.
void CopyField(char* field, std::size_t size, std::string_view text);

template <std::size_t N>
void CopyField(char (&field)[N], std::string_view text) {
    CopyField(field, N, text);
}

}  // namespace kestrel
