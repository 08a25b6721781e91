#pragma once

#include <string>

namespace kestrel {

// The fixed texts are written in UTF-8 in the source (res/Texts*.h) and used as CP932.
// sjis() converts each text once and keeps it for the life of the process; the reference
// stays valid and the call is safe from any thread.
const std::string& sjis(const char* utf8Text);

}  // namespace kestrel
