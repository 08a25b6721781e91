#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <iterator>
#include <string>

#include "res/Cp932.h"
#include "settings/IniMigration.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "settings/ViewSettings.h"
#include "tests/fakes/RecordingMessageBoxes.h"
#include "tests/settings/SettingsTestSupport.h"

namespace kestrel {
namespace {

using test::ClearSettingsFile;
using test::RecordingMessageBoxes;
using test::Sj;

// Old integer values ---------------------------------------------------------------------

TEST(IniMigration, IntegerRowsTakeTheLeadingNumber) {
    const std::pair<const char*, int> cases[] = {
        {" -12abc", -12},
        {"abc", 0},
        {"", 0},
        {"+7", 7},
        {"\t 42 ", 42},
        {"12 34", 12},
        {"- 5", 0},
        {"0x10", 0},
        {"--3", 0},
        {"007", 7},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"2147483648", INT_MAX},
        {"99999999999999999999999999", INT_MAX},
        {"-99999999999999999999999999", INT_MIN},
    };
    for (auto [text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(LeadingInt(text), expected);
    }
}

// Migration ------------------------------------------------------------------------------

class MigrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearSettingsFile();
        ASSERT_TRUE(dir.isValid());
        home = dir.path().toStdString();
    }
    std::string ini() const { return home + "/kestrel.ini"; }
    std::string old() const { return home + "/kestrel_ini.old"; }
    void writeFile(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string readFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static bool exists(const std::string& path) {
        return QFile::exists(QString::fromStdString(path));
    }

    void expectBothBoxes() {
        ASSERT_EQ(boxes.boxes.size(), 2u);
        EXPECT_EQ(boxes.boxes[0].textUtf8(),
                  "旧版の初期化ファイル(kestrel.ini)が存在します。\n"
                  "この初期化ファイルの内容をレジストリに移動します。");
        EXPECT_EQ(boxes.boxes[1].textUtf8(),
                  "初期化ファイルの移動が完了しました。\n旧版の初期化ファイル(kestrel.ini)は、\n"
                  "kestrel_ini.oldにリネームされました。");
        for (const auto& b : boxes.boxes) {
            EXPECT_EQ(b.captionUtf8(), "Kestrel for Intranet");
            EXPECT_EQ(b.icon, BoxIcon::Information);
            EXPECT_EQ(b.buttons, BoxButtons::Ok);
        }
    }

    QTemporaryDir dir;
    std::string home;
    SettingsStore store;
    RecordingMessageBoxes boxes;
};

TEST_F(MigrationTest, OldFileMovesIntoTheStoreWithTheOldDefaultsThenIsRenamed) {
    const std::string content =
        Sj("[Environment]\r\n"
           "POPServer=pop.example.jp\r\n"
           "POPPort=abc\r\n"
           "DefaultUserId=山田\r\n"
           "debug= 1\r\n"
           "[PeerChat]\r\n"
           "AliaseName=やまだ\r\n"
           "[Timer]\r\n"
           "NewsTimer= -12abc\r\n"
           "[WhereIs]\r\n"
           "Places=食堂~:_ソファ~:_\r\n");
    writeFile(ini(), content);
    // Values already in the store are replaced by the file's, defaults included.
    store.Write(key::MailCheck, 1);

    MigrateIniFile(store, boxes, home);

    expectBothBoxes();
    EXPECT_FALSE(exists(ini()));
    EXPECT_EQ(readFile(old()), content);
    // Already on disk: the old file is gone, so nothing else holds these values.
    const std::string text = test::FileText(store.FilePath());
    EXPECT_NE(text.find("POPServer=pop.example.jp"), std::string::npos) << text;
    EXPECT_NE(text.find("DefaultUserId=山田"), std::string::npos) << text;

    // From the file.
    EXPECT_EQ(store.GetString(key::POPServer), "pop.example.jp");
    EXPECT_EQ(store.GetInt(key::POPPort), 0);
    EXPECT_EQ(store.GetString(key::DefaultUserId), Sj("山田"));
    EXPECT_EQ(store.GetInt(key::debug), 1);
    EXPECT_EQ(store.GetString(key::AliaseName, "x"), Sj("やまだ"));
    EXPECT_EQ(store.GetInt("Timer", "NewsTimer", 99), -12);
    EXPECT_EQ(store.GetString(key::Places), Sj("食堂~:_ソファ~:_"));
    // Missing from the file: the old program's defaults, not today's.
    const std::pair<const SettingKey*, int> fileDefaults[] = {
        {&key::MailCheck, 0},   {&key::MailReader, 2}, {&key::NewsReader, 2},
        {&key::PasswdCheck, 0}, {&key::Sound, 0},      {&key::BeIcon, 0},
        {&key::BePopup, 0},     {&key::AUTHPort, 113}, {&key::ChatPort, 2425},
        {&key::Chating, 1},     {&key::CheckDays, 7},  {&key::MailTimer, 3},
    };
    for (auto [k, expected] : fileDefaults) {
        SCOPED_TRACE(k->name);
        EXPECT_EQ(store.GetInt(*k), expected);
    }
    EXPECT_EQ(store.GetInt(key::left, 1), 80);
    EXPECT_EQ(store.GetInt(key::top, 1), 80);
    EXPECT_EQ(store.GetString(key::NNTPServer), "");
    EXPECT_EQ(store.GetString(key::SoundFile), "");
    EXPECT_EQ(store.GetInt("Environment", "BiffService", 5), 0);
    EXPECT_EQ(store.GetInt("PeerChat", "DirPort", 5), 12425);
    EXPECT_EQ(store.GetString("PeerChat", "DirServer", "x"), "");

    ViewSettings view;
    view.Load(store);
    EXPECT_EQ(view.NewsTimer, 3);
    EXPECT_EQ(view.MailCheck, 0);

    // The file is gone, so the next start moves nothing.
    boxes.boxes.clear();
    MigrateIniFile(store, boxes, home);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MigrationTest, NoOldFileMeansNoBoxAndNoWrite) {
    store.Write(key::MailCheck, 1);
    MigrateIniFile(store, boxes, home);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(store.GetInt("Environment", "MailCheck", 7), 1);
    EXPECT_EQ(store.GetInt("Environment", "BiffService", 7), 7);
}

TEST_F(MigrationTest, DamagedOldFileMigratesItsDefaultsWithoutTrouble) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 131 + 7) % 256));
    garbage += "\n[Sound]\nSound=1\n[Environment\nMailCheck=1\n";
    writeFile(ini(), garbage);

    MigrateIniFile(store, boxes, home);

    expectBothBoxes();
    EXPECT_EQ(store.GetInt(key::Sound), 1);
    // The broken header is skipped, so that line belongs to [Sound].
    EXPECT_EQ(store.GetInt(key::MailCheck), 0);
    EXPECT_EQ(store.GetInt("Sound", "MailCheck", 5), 5);
    EXPECT_EQ(store.GetInt(key::MailReader), 2);
    EXPECT_EQ(store.GetString(key::Places), Sj("会議室~:_トイレ~:_"));
    EXPECT_TRUE(exists(old()));
    EXPECT_FALSE(exists(ini()));
}

TEST_F(MigrationTest, AnEarlierRenamedFileIsReplacedSoTheMoveIsNotRepeated) {
    writeFile(old(), "[Environment]\nMailCheck=1\n");
    writeFile(ini(), "[Environment]\nMailCheck=0\n");
    MigrateIniFile(store, boxes, home);
    expectBothBoxes();
    EXPECT_FALSE(exists(ini()));
    EXPECT_EQ(readFile(old()), "[Environment]\nMailCheck=0\n");
}

TEST_F(MigrationTest, AnUnreadableOldFileIsLeftAloneAndOverwritesNothing) {
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("kestrel.ini")));
    store.Write(key::MailCheck, 1);
    MigrateIniFile(store, boxes, home);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(store.GetInt(key::MailCheck), 1);
    EXPECT_TRUE(exists(ini()));
}

}  // namespace
}  // namespace kestrel
