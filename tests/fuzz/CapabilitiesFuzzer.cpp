// Fuzzing the reader of capability lists (POP3 CAPA, NNTP CAPABILITIES), which decides
// whether a connection may be upgraded to TLS.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/CapabilityList.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kestrel::starttls;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const Listing state = ScanListing(bytes, "+OK");
    const bool offers = Offers(bytes, "STLS");

    // An offer is a line of its own after the first.
    if (offers) Check(Upper(bytes).find("\nSTLS") != std::string::npos);
    // Complete needs the closing "." line; Refused a first line not starting with +OK.
    if (state == Listing::Complete) Check(bytes.find("\n.") != std::string_view::npos);
    if (state == Listing::Refused) Check(bytes.substr(0, 3) != "+OK");
    // More bytes never take back a verdict on a list that has ended.
    if (state != Listing::Incomplete) {
        const std::string longer = std::string(bytes) + "STLS\r\n.\r\n";
        Check(ScanListing(longer, "+OK") == state);
        if (state == Listing::Complete) Check(Offers(longer, "STLS") == offers);
    }
    return 0;
}
