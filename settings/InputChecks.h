#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace kestrel {

// The checks the settings dialogs make before they take what the user typed. Texts are CP932.

// A numeric field: decimal digits only, white space around them allowed, no sign, and small
// enough for an unsigned 32-bit value. Nothing else is a number ("正の整数を入力してください。").
std::optional<unsigned> ParseUnsignedField(std::string_view text);

// A broadcast address as the broadcast dialog checks it: four dot-separated parts, each either
// exactly "0" or a text whose leading digits (read the way C's atoi reads them) give 1 to 255.
// So "12a" passes as 12 and is kept as typed, while "00", "" and "256" do not.
bool IsAcceptedBroadcastAddress(std::string_view text);

// What the chat sends to: a numeric IPv4 address, four decimal parts of 0 to 255 with no
// leading zeros and nothing around them. Anything else would be looked up as a host name at
// every packet to all; the peer chat skips it. The list holds at most this many.
bool IsNumericBroadcastAddress(std::string_view text);
inline constexpr std::size_t kMostBroadcastAddresses = 64;

// A nickname may not hold ':', '[', ']', '<' or '>': they delimit the peer chat's packets and
// the "nick[place]" presence text. Only single-byte characters count; the second byte of a
// double-byte character may have any of these values and is part of that character.
bool IsAcceptedNickname(std::string_view cp932);

}  // namespace kestrel
