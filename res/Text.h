#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace kestrel {

// The fixed texts are written in UTF-8 in the source (res/Texts*.h) and used as CP932.
// sjis() converts each text once and keeps it for the life of the process; the reference
// stays valid and the call is safe from any thread.
const std::string& sjis(const char* utf8Text);

// Fill the "%s" and "%d" markers of a fixed text in order with the given texts. A marker
// left without a text stays as written, so a text short of its values shows where in the
// log rather than losing the marker; a marker inside a value is never read again.
std::string FillText(std::string_view format, std::initializer_list<std::string_view> args);

// FillText with two numbers, for the "ERROR = %d / LASTERROR = %d" family of texts.
std::string FillNumbers(std::string_view format, int first, int second);

}  // namespace kestrel
