#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

// Lists kept in one stored string (`WhereIs`/`Places`, `PeerChat`/`BroadIPs`): every item is
// followed by "~:_". Texts are CP932; the separator is only recognised on character
// boundaries, so a double-byte character ending in '~' (such as "ミ") stays inside its item.

// Items in stored order; empty items are skipped, a text without a separator is one item.
std::vector<std::string> DecodeList(std::string_view stored);

// The stored form; empty items are left out, as reading would drop them anyway. A lead byte
// left alone at an item's end (a cut character) is not written: it would swallow the
// separator.
std::string EncodeList(const std::vector<std::string>& items);

}  // namespace kestrel
