// What this station tells its peers: names cut to their fields, and the machine's own values.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <pwd.h>
#include <unistd.h>

#include <string>

#include "identity/LocalIdentity.h"
#include "res/Cp932.h"

namespace kestrel {
namespace {

TEST(LocalIdentity, FallsBackToNoNameAndCutsAtCharacterBoundaries) {
    IdentitySources s;
    s.nickname = utf8ToCp932("山田");
    LocalIdentity id = MakeLocalIdentity(s);
    EXPECT_STREQ(id.userName, "no_name");
    EXPECT_STREQ(id.hostName, "no_name");
    EXPECT_STREQ(id.address, "");
    EXPECT_EQ(id.present, 1);
    EXPECT_STREQ(id.version, "Kestrel for Intranet ver3.20");
    EXPECT_EQ(cp932ToUtf8(id.nickname), "山田");

    // 127 bytes fit the 128-byte field; a double-byte character may not be split.
    s.nickname = std::string(126, 'a') + utf8ToCp932("あ");
    id = MakeLocalIdentity(s);
    EXPECT_EQ(std::string(id.nickname), std::string(126, 'a'));
    s.nickname = std::string(125, 'a') + utf8ToCp932("あ");
    id = MakeLocalIdentity(s);
    EXPECT_EQ(std::string(id.nickname).size(), 127u);
}

TEST(LocalIdentity, ReadsTheMachine) {
    const LocalIdentity id = MakeLocalIdentity(ReadIdentitySources("nick"));
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    EXPECT_STREQ(id.hostName, host);
    const passwd* pw = getpwuid(getuid());
    ASSERT_NE(pw, nullptr);
    EXPECT_STREQ(id.userName, pw->pw_name);
    EXPECT_STREQ(id.nickname, "nick");
    // The address is the computer name's first IPv4 address, or empty when it has none.
    if (id.address[0] != '\0') {
        in_addr parsed{};
        EXPECT_EQ(inet_pton(AF_INET, id.address, &parsed), 1) << id.address;
    }
}

}  // namespace
}  // namespace kestrel
