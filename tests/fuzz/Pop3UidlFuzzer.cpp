// The UIDL listing reader, fed the input in pieces whose sizes come from the input itself:
// the result must not depend on how the bytes were split, no kept uidl breaks the limits,
// and the same bytes fed whole give the same listing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "mail/UidlListing.h"

using kestrel::pop3::UidlListing;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t step = 1 + data[0] % 64;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    UidlListing whole;
    whole.Feed(bytes);
    UidlListing pieces;
    for (std::size_t at = 0; at < bytes.size(); at += step) pieces.Feed(bytes.substr(at, step));

    if (whole.CurrentState() != pieces.CurrentState() || whole.Uidls() != pieces.Uidls() ||
        whole.StatusLine() != pieces.StatusLine())
        std::abort();
    if (whole.StatusLine().size() > UidlListing::kMaxStatus) std::abort();
    if (whole.Uidls().size() > UidlListing::kMaxMessages) std::abort();
    for (const auto& uidl : whole.Uidls()) {
        if (uidl.empty() || uidl.size() > UidlListing::kMaxUidl) std::abort();
    }
    return 0;
}
