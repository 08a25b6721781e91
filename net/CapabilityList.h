#pragma once

// The reader of capability lists (POP3 CAPA, NNTP CAPABILITIES): no socket, so it is tested
// with tables and fuzzed on its own.

#include <cstddef>
#include <string_view>

namespace kestrel {

namespace starttls {

// The most bytes a capability list may take; a longer one is not believed.
constexpr std::size_t kMaxListing = 16 * 1024;

enum class Listing { Incomplete, Refused, Complete };

// How far the reply to the capability command in bytes has come: the first line does not
// start with accepted (Refused), the list has ended with its "." line (Complete), or more is
// to come. Lines end in CRLF or a bare LF.
Listing ScanListing(std::string_view bytes, std::string_view accepted);

// Whether a complete list offers name: a line after the first whose first word is name, in
// any case.
bool Offers(std::string_view listing, std::string_view name);

}  // namespace starttls

}  // namespace kestrel
