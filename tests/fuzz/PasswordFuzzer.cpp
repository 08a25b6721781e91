// The saved password: any stored text unscrambles or is refused, and a password that can be
// saved reads back as it was.
#include <cstddef>
#include <cstdint>
#include <string>

#include "settings/PasswordScrambler.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace kestrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);

    std::string plain = "junk";
    std::string stored = input;
    if (EncodePassword(PasswordDirection::Unscramble, plain, stored)) {
        FUZZ_CHECK(plain.size() <= 16);
        for (const char c : plain) FUZZ_CHECK(c >= 1 && c <= 127);
        std::string again;
        FUZZ_CHECK(EncodePassword(PasswordDirection::Scramble, plain, again));
        std::string back;
        FUZZ_CHECK(EncodePassword(PasswordDirection::Unscramble, back, again));
        FUZZ_CHECK(back == plain);
    } else {
        FUZZ_CHECK(plain.empty());
    }

    std::string password = input;
    std::string scrambled = "junk";
    if (EncodePassword(PasswordDirection::Scramble, password, scrambled)) {
        FUZZ_CHECK(scrambled.size() == 4 * (input.size() + 1));
        std::string back;
        FUZZ_CHECK(EncodePassword(PasswordDirection::Unscramble, back, scrambled));
        FUZZ_CHECK(back == input);
    } else {
        FUZZ_CHECK(scrambled.empty());
    }
    return 0;
}
