// Where the saved password goes: the keyring when it answers, the settings file otherwise.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/PasswordVault.h"
#include "settings/PasswordScrambler.h"
#include "settings/SavedPassword.h"
#include "settings/SettingsStore.h"
#include "tests/fakes/MemoryVault.h"
#include "tests/settings/SettingsTestSupport.h"

namespace kestrel {
namespace {

using Outcome = PasswordVault::Outcome;

using test::MemoryVault;

class SavedPasswordTest : public ::testing::Test {
protected:
    void SetUp() override { test::ClearSettingsFile(); }
    SavedPassword Make(PasswordVault* vault) {
        return SavedPassword(store, vault,
                             [this](std::string_view line) { log.emplace_back(line); });
    }
    std::string FileValue() { return store.GetString(key::Password, "<absent>"); }
    static std::string Scrambled(std::string plain) {
        std::string out;
        EncodePassword(PasswordDirection::Scramble, plain, out);
        return out;
    }

    SettingsStore store;
    MemoryVault vault;
    std::vector<std::string> log;
};

TEST_F(SavedPasswordTest, AnAnsweringKeyringTakesThePasswordAndTheFileHoldsNone) {
    store.Write(key::Password, Scrambled("old"));
    SavedPassword saved = Make(&vault);
    EXPECT_EQ(saved.FromFile(), "old");
    std::string got;
    EXPECT_FALSE(saved.FromKeyring("taro", "pop.example", got));

    // The first log-in that succeeds with the file's password moves it.
    saved.Keep("taro", "pop.example", "old", true);
    EXPECT_EQ(FileValue(), "<absent>");
    EXPECT_EQ(test::FileText(store.FilePath()).find("Password"), std::string::npos);
    ASSERT_TRUE(saved.FromKeyring("taro", "pop.example", got));
    EXPECT_EQ(got, "old");
    // One item per user and server.
    saved.Keep("taro", "pop2.example", "other", true);
    saved.Keep("hanako", "pop.example", test::Sj("パスワード"), true);
    EXPECT_EQ(vault.items.size(), 3u);
    ASSERT_TRUE(saved.FromKeyring("taro", "pop.example", got));
    EXPECT_EQ(got, "old");
    ASSERT_TRUE(saved.FromKeyring("hanako", "pop.example", got));
    EXPECT_EQ(got, test::Sj("パスワード"));

    // Not saving forgets it in both places.
    saved.Keep("taro", "pop.example", "old", false);
    EXPECT_FALSE(saved.FromKeyring("taro", "pop.example", got));
    EXPECT_EQ(FileValue(), "");
    EXPECT_TRUE(log.empty());
}

TEST_F(SavedPasswordTest, WithoutAnAnsweringKeyringTheFileKeepsItAsBeforeAndTheLogSaysSoOnce) {
    for (const bool haveVault : {true, false}) {
        SCOPED_TRACE(haveVault);
        test::ClearSettingsFile();
        log.clear();
        vault.answering = false;
        SavedPassword saved = Make(haveVault ? &vault : nullptr);
        std::string got = "untouched";
        EXPECT_FALSE(saved.FromKeyring("taro", "pop.example", got));
        EXPECT_EQ(got, "untouched");
        saved.Keep("taro", "pop.example", "s3cret", true);
        EXPECT_EQ(FileValue(), Scrambled("s3cret"));
        saved.Keep("taro", "pop.example", "s3cret", false);
        EXPECT_EQ(FileValue(), "");
        saved.Keep("taro", "pop.example", "s3cret", true);
        EXPECT_EQ(saved.FromFile(), "s3cret");
        // Told once (and only when there was a keyring to miss), never with the password.
        ASSERT_EQ(log.size(), haveVault ? 1u : 0u);
        for (const std::string& line : log) {
            EXPECT_NE(line.find("keyring"), std::string::npos) << line;
            EXPECT_EQ(line.find("s3cret"), std::string::npos) << line;
        }
    }
}

TEST_F(SavedPasswordTest, AKeyringThatStopsAnsweringSendsTheNextSaveToTheFile) {
    SavedPassword saved = Make(&vault);
    saved.Keep("taro", "pop.example", "first", true);
    EXPECT_EQ(FileValue(), "<absent>");
    vault.answering = false;
    saved.Keep("taro", "pop.example", "second", true);
    EXPECT_EQ(FileValue(), Scrambled("second"));
    EXPECT_EQ(log.size(), 1u);
    vault.answering = true;
    saved.Keep("taro", "pop.example", "third", true);
    EXPECT_EQ(FileValue(), "<absent>");
    EXPECT_EQ(vault.items["taro@pop.example"], "third");
}

}  // namespace
}  // namespace kestrel
