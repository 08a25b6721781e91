// An IMAP server's byte stream, cut anywhere: the reader never holds more than its caps allow,
// and every response it gives is one the helpers can read.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mail/ImapResponse.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace kestrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    imap::ResponseReader reader;
    // The first byte chooses the cut, so splits at every place are tried.
    const std::size_t step = size == 0 ? 1 : 1 + static_cast<std::size_t>(data[0]) % 64;
    for (std::size_t at = 0; at < size; at += step) {
        reader.Feed(input.substr(at, step));
        FUZZ_CHECK(reader.Pending() <= imap::kMaxResponse + imap::kMaxLine + step + 2);
        while (auto r = reader.Next()) {
            FUZZ_CHECK(r->line.size() <= imap::kMaxResponse);
            for (const auto& literal : r->literals) FUZZ_CHECK(literal.size() <= imap::kMaxLiteral);
            imap::Capabilities(*r);
            imap::StatusUnseen(*r);
            imap::IsTemporaryRefusal(*r);
            imap::IsMailboxChange(*r);
        }
        if (reader.Broken()) FUZZ_CHECK(!reader.Fault().empty());
    }
    return 0;
}
