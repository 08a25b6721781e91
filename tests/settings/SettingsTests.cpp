#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "res/Cp932.h"
#include "settings/ListCodec.h"
#include "settings/PasswordScrambler.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "settings/ViewSettings.h"
#include "tests/settings/SettingsTestSupport.h"

namespace kestrel {
namespace {

using test::ClearSettingsFile;
using test::PutRaw;
using test::Sj;
using namespace Qt::Literals::StringLiterals;

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ClearSettingsFile(); }
    SettingsStore store;
};

// Expected defaults, written out independently of the key table so a wrong descriptor shows.
struct IntDefault {
    const char* section;
    const char* name;
    int expected;
    int ViewSettings::*field;
};
struct StringDefault {
    const char* section;
    const char* name;
    const char* expectedUtf8;
    std::string ViewSettings::*field;
};

const IntDefault kIntDefaults[] = {
    {"Environment", "NNTPPort", 119, &ViewSettings::NNTPPort},
    {"Environment", "POPPort", 110, &ViewSettings::POPPort},
    {"Environment", "AUTHPort", 113, &ViewSettings::AUTHPort},
    {"Environment", "PSWDPort", 106, &ViewSettings::PSWDPort},
    // A fresh file starts the desktop's own mail and news applications.
    {"Environment", "NewsReader", 3, &ViewSettings::NewsReader},
    {"Environment", "MailReader", 4, &ViewSettings::MailReader},
    {"Environment", "NewsCheck", 0, &ViewSettings::NewsCheck},
    {"Environment", "MailCheck", 1, &ViewSettings::MailCheck},
    {"Environment", "Identify", 0, &ViewSettings::Identify},
    {"Environment", "PasswdCheck", 1, &ViewSettings::PasswdCheck},
    {"Environment", "debug", 0, nullptr},
    {"Environment", "POPSecurity", 0, &ViewSettings::POPSecurity},
    {"Environment", "NNTPSecurity", 0, &ViewSettings::NNTPSecurity},
    {"Environment", "MailProtocol", 0, &ViewSettings::MailProtocol},
    {"PeerChat", "ChatPort", 2425, &ViewSettings::ChatPort},
    {"PeerChat", "Chating", 1, &ViewSettings::Chating},
    {"PeerChat", "CheckSaver", 1, &ViewSettings::CheckSaver},
    {"PeerChat", "AutoUpdate", 1, &ViewSettings::AutoUpdate},
    {"Timer", "NewsTimer", 10, &ViewSettings::NewsTimer},
    {"Timer", "MailTimer", 3, &ViewSettings::MailTimer},
    {"Timer", "CheckDays", 7, &ViewSettings::CheckDays},
    {"Sound", "Sound", 1, &ViewSettings::Sound},
    {"UserInterface", "BeIcon", 1, &ViewSettings::BeIcon},
    {"UserInterface", "BePopup", 1, &ViewSettings::BePopup},
};

const StringDefault kStringDefaults[] = {
    {"Environment", "NNTPServer", "your.news.server", &ViewSettings::NNTPServer},
    {"Environment", "POPServer", "your.pop.server", &ViewSettings::POPServer},
    {"Environment", "NewsFile", "c:\\netscape\\program\\netscape.exe", &ViewSettings::NewsFile},
    {"Environment", "MailFile", "c:\\almail\\almail.exe", &ViewSettings::MailFile},
    {"Environment", "DefaultUserId", "your_name", &ViewSettings::DefaultUserId},
    {"Environment", "Password", "", &ViewSettings::Password},
    {"Environment", "LastTime", "", nullptr},
    {"Environment", "TLSCAFile", "", &ViewSettings::TLSCAFile},
    {"PeerChat", "BroadIPs", "", &ViewSettings::BroadIPs},
    {"WhereIs", "Places", "会議室~:_トイレ~:_", &ViewSettings::Places},
    {"Sound", "SoundFile", "C:\\WINDOWS\\RINGOUT.WAV", &ViewSettings::SoundFile},
};

TEST_F(SettingsStoreTest, EveryValueReadsItsDefaultFromAnEmptyStore) {
    ViewSettings view;
    view.Load(store);
    std::set<const SettingKey*> seen;

    for (const IntDefault& d : kIntDefaults) {
        SCOPED_TRACE(d.name);
        const SettingKey* k = FindSettingKey(d.section, d.name);
        ASSERT_NE(k, nullptr);
        EXPECT_EQ(k->type, SettingType::Int);
        EXPECT_EQ(store.GetInt(*k), d.expected);
        if (d.field) {
            EXPECT_EQ(view.*d.field, d.expected);
        }
        seen.insert(k);
    }
    for (const StringDefault& d : kStringDefaults) {
        SCOPED_TRACE(d.name);
        const SettingKey* k = FindSettingKey(d.section, d.name);
        ASSERT_NE(k, nullptr);
        EXPECT_EQ(k->type, SettingType::String);
        EXPECT_EQ(store.GetString(*k), Sj(d.expectedUtf8));
        if (d.field) {
            EXPECT_EQ(view.*d.field, Sj(d.expectedUtf8));
        }
        seen.insert(k);
    }
    // The rest have defaults that depend on something the reader knows.
    EXPECT_EQ(view.AliaseName, Sj("your_name"));
    EXPECT_EQ(store.GetInt(key::left, 1920 / 8), 240);
    EXPECT_EQ(store.GetInt(key::top, 1080 / 8), 135);
    seen.insert({&key::AliaseName, &key::left, &key::top});
    EXPECT_EQ(seen.size(), AllSettingKeys().size());
    EXPECT_EQ(view.Sound, 1);
}

TEST_F(SettingsStoreTest, NewsTimerBelowThreeIsRaisedWhenLoaded) {
    const std::pair<int, int> cases[] = {{1, 3}, {3, 3}, {2, 3}, {0, 3}, {-7, 3}, {4, 4}, {60, 60}};
    for (auto [stored, loaded] : cases) {
        SCOPED_TRACE(stored);
        store.Write(key::NewsTimer, stored);
        ViewSettings view;
        view.Load(store);
        EXPECT_EQ(view.NewsTimer, loaded);
        // The stored value itself is left as the user set it.
        EXPECT_EQ(store.GetInt("Timer", "NewsTimer", 99), stored);
    }
}

TEST_F(SettingsStoreTest, AbsentNicknameIsTheUserIdReadJustBefore) {
    ViewSettings view;
    view.Load(store);
    EXPECT_EQ(view.AliaseName, Sj("your_name"));

    store.Write(key::DefaultUserId, Sj("山田太郎"));
    view.Load(store);
    EXPECT_EQ(view.AliaseName, Sj("山田太郎"));

    // A nickname stored empty is present, not absent.
    store.Write(key::AliaseName, std::string());
    view.Load(store);
    EXPECT_EQ(view.AliaseName, "");
}

TEST_F(SettingsStoreTest, IntegersThatAreNotNumbersOrDoNotFitReadAsTheDefault) {
    const std::pair<const char*, int> cases[] = {
        {"abc", 77},
        {"3000000000", 77},
        {"-3000000000", 77},
        {"", 77},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"42", 42},
        {"-1", -1},
    };
    for (auto [text, expected] : cases) {
        SCOPED_TRACE(text);
        PutRaw("Environment/POPPort", QString::fromLatin1(text));
        EXPECT_EQ(store.GetInt("Environment", "POPPort", 77), expected);
    }
    store.WriteInt("Environment", "POPPort", INT_MIN);
    EXPECT_EQ(store.GetInt("Environment", "POPPort", 0), INT_MIN);
}

TEST_F(SettingsStoreTest, JapaneseTextsComeBackAsTheSameCp932Bytes) {
    const std::string cases[] = {
        Sj("会議室~:_トイレ~:_"),
        Sj("ｿｹｯﾄ ﾃｽﾄ"),              // half-width katakana, single bytes
        Sj("c:\\ソフト\\表示.exe"),  // second bytes equal to '\'
        Sj("①②Ⅰ㈱"),                 // NEC special characters
        Sj("@at start, with, commas; and = signs"),
        std::string(5000, 'x') + Sj("末尾"),  // returned whole, callers cut
        "",
    };
    for (const std::string& value : cases) {
        store.WriteString("PeerChat", "AliaseName", value);
        EXPECT_EQ(store.GetString("PeerChat", "AliaseName", "default"), value);
    }
}

TEST_F(SettingsStoreTest, StringsAreKeptAsUnicodeTextInOneGroupPerSection) {
    store.Write(key::Places, Sj("会議室~:_"));
    store.Write(key::MailTimer, 5);
    const std::string file = store.FilePath();
    EXPECT_NE(file.find("/config/Harrowgate/Kestrel.conf"), std::string::npos) << file;

    store.Flush();
    const std::string text = test::FileText(file);
    EXPECT_NE(text.find("[WhereIs]\nPlaces=会議室~:_\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[Timer]\nMailTimer=5\n"), std::string::npos) << text;
}

TEST_F(SettingsStoreTest, AHandEditedValueWithACommaIsReadWhole) {
    const std::string file = store.FilePath();
    {
        QFile f(QString::fromStdString(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[PeerChat]\nBroadIPs=10.0.0.255~:_,10.1.0.255~:_\n");
    }
    SettingsStore fresh;
    EXPECT_EQ(fresh.GetString(key::BroadIPs), "10.0.0.255~:_,10.1.0.255~:_");
}

// The administrator's defaults: two shared directories, the first one winning, under a
// user's file that has some values of its own.
TEST_F(SettingsStoreTest, ValuesTheUserFileLacksComeFromTheSharedDefaults) {
    QTemporaryDir dirs;
    ASSERT_TRUE(dirs.isValid());
    const auto put = [&](const char* dir, const char* text) {
        ASSERT_TRUE(QDir(dirs.path()).mkpath(QString::fromLatin1(dir) + "/Harrowgate"_L1));
        QFile f(dirs.filePath(QString::fromLatin1(dir) + "/Harrowgate/Kestrel.conf"_L1));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    };
    put("first", "[Environment]\nPOPServer=pop.corp.example\nPOPPort=995\n");
    put("second",
        "[Environment]\nPOPPort=1110\nNNTPServer=news.corp.example\n"
        "[PeerChat]\nChatPort=2500\n");
    const QByteArray saved = qgetenv("XDG_CONFIG_DIRS");
    qputenv("XDG_CONFIG_DIRS", (dirs.filePath("first"_L1) + ":relative:"_L1 +
                                dirs.filePath("second"_L1) + ":"_L1 + dirs.filePath("none"_L1))
                                   .toLocal8Bit());
    store.Write(key::ChatPort, 2600);
    store.Flush();
    {
        SettingsStore withDefaults;
        EXPECT_EQ(withDefaults.GetString(key::POPServer), "pop.corp.example");
        EXPECT_EQ(withDefaults.GetInt(key::POPPort), 995);
        EXPECT_EQ(withDefaults.GetString(key::NNTPServer), "news.corp.example");
        EXPECT_EQ(withDefaults.GetInt(key::ChatPort), 2600);
        EXPECT_EQ(withDefaults.GetInt(key::NNTPPort), 119);

        // Writing goes to the user's file only, and wins from then on.
        withDefaults.Write(key::POPServer, std::string("pop.mine.example"));
        withDefaults.Flush();
        EXPECT_EQ(withDefaults.GetString(key::POPServer), "pop.mine.example");
    }
    QFile first(dirs.filePath("first/Harrowgate/Kestrel.conf"_L1));
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    EXPECT_EQ(first.readAll(), "[Environment]\nPOPServer=pop.corp.example\nPOPPort=995\n");
    EXPECT_NE(test::FileText(store.FilePath()).find("POPServer=pop.mine.example"),
              std::string::npos);

    qputenv("XDG_CONFIG_DIRS", saved);
    SettingsStore without;
    EXPECT_EQ(without.GetString(key::POPServer), "pop.mine.example");
    EXPECT_EQ(without.GetInt(key::POPPort), 110);
}

TEST_F(SettingsStoreTest, EveryGroupSavedComesBackOnTheNextLoad) {
    ViewSettings v;
    v.NNTPServer = "news.example.jp";
    v.POPServer = "pop.example.jp";
    v.NewsFile = Sj("d:\\ニュース\\reader.exe");
    v.MailFile = "d:\\mail.exe";
    v.DefaultUserId = "tanaka";
    v.NNTPPort = 1119;
    v.POPPort = 1110;
    v.AUTHPort = 1113;
    v.PSWDPort = 1106;
    v.NewsReader = 1;
    v.MailReader = 2;
    v.NewsCheck = 1;
    v.MailCheck = 0;
    v.Identify = 1;
    v.PasswdCheck = 0;
    v.Password = "s3cret";
    v.ChatPort = 2426;
    v.Chating = 0;
    v.AliaseName = Sj("たなか");
    v.CheckSaver = 0;
    v.BroadIPs = "10.0.0.255~:_";
    v.AutoUpdate = 0;
    v.Places = Sj("食堂~:_");
    v.NewsTimer = 15;
    v.MailTimer = 5;
    v.CheckDays = 30;
    v.Sound = 0;
    v.SoundFile = "/usr/share/sounds/ring.wav";
    v.BeIcon = 0;
    v.BePopup = 0;

    v.SaveEnvironment(store);
    v.SaveTimers(store);
    v.SaveSound(store);
    v.SaveUserInterface(store);
    v.SaveCommunicator(store);
    v.SaveBroadcastList(store);
    v.SavePlaces(store);
    v.SaveCheckSaver(store);
    v.SaveAutoUpdate(store);
    v.SavePassword(store, true);

    // Each group is on disk once saved, not only in the settings cache.
    const std::string text = test::FileText(store.FilePath());
    for (const char* line : {"NNTPServer=news.example.jp", "MailReader=2", "CheckDays=30",
                             "SoundFile=/usr/share/sounds/ring.wav", "BePopup=0", "Chating=0",
                             "BroadIPs=10.0.0.255~:_", "Places=食堂~:_", "CheckSaver=0",
                             "AutoUpdate=0", "Password=00e3"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }

    SettingsStore fresh;
    ViewSettings r;
    r.Load(fresh);
    EXPECT_EQ(r.NNTPServer, v.NNTPServer);
    EXPECT_EQ(r.POPServer, v.POPServer);
    EXPECT_EQ(r.NewsFile, v.NewsFile);
    EXPECT_EQ(r.MailFile, v.MailFile);
    EXPECT_EQ(r.DefaultUserId, v.DefaultUserId);
    EXPECT_EQ(r.NNTPPort, v.NNTPPort);
    EXPECT_EQ(r.POPPort, v.POPPort);
    EXPECT_EQ(r.AUTHPort, v.AUTHPort);
    EXPECT_EQ(r.PSWDPort, v.PSWDPort);
    EXPECT_EQ(r.NewsReader, v.NewsReader);
    EXPECT_EQ(r.MailReader, v.MailReader);
    EXPECT_EQ(r.NewsCheck, v.NewsCheck);
    EXPECT_EQ(r.MailCheck, v.MailCheck);
    EXPECT_EQ(r.Identify, v.Identify);
    EXPECT_EQ(r.PasswdCheck, v.PasswdCheck);
    EXPECT_EQ(r.Password, v.Password);
    EXPECT_EQ(r.ChatPort, v.ChatPort);
    EXPECT_EQ(r.Chating, v.Chating);
    EXPECT_EQ(r.AliaseName, v.AliaseName);
    EXPECT_EQ(r.CheckSaver, v.CheckSaver);
    EXPECT_EQ(r.BroadIPs, v.BroadIPs);
    EXPECT_EQ(r.AutoUpdate, v.AutoUpdate);
    EXPECT_EQ(r.Places, v.Places);
    EXPECT_EQ(r.NewsTimer, v.NewsTimer);
    EXPECT_EQ(r.MailTimer, v.MailTimer);
    EXPECT_EQ(r.CheckDays, v.CheckDays);
    EXPECT_EQ(r.Sound, v.Sound);
    EXPECT_EQ(r.SoundFile, v.SoundFile);
    EXPECT_EQ(r.BeIcon, v.BeIcon);
    EXPECT_EQ(r.BePopup, v.BePopup);
}

TEST_F(SettingsStoreTest, PasswordIsSavedOnlyWhenAskedAndWhenItCanBeScrambled) {
    ViewSettings v;
    v.Password = "abc";
    v.SavePassword(store, true);
    EXPECT_NE(store.GetString(key::Password), "");

    v.SavePassword(store, false);
    EXPECT_EQ(store.GetString(key::Password, "absent"), "");

    v.SavePassword(store, true);
    v.Password = std::string(17, 'p');
    v.SavePassword(store, true);
    EXPECT_EQ(store.GetString(key::Password, "absent"), "");

    ViewSettings r;
    r.Load(store);
    EXPECT_EQ(r.Password, "");
}

// List encoding ------------------------------------------------------------------------

TEST(ListCodec, DecodesStoredLists) {
    using Items = std::vector<std::string>;
    const std::pair<std::string, Items> cases[] = {
        {"a~:_~:_b", {"a", "b"}},
        {"a", {"a"}},
        {"", {}},
        {"~:_~:_", {}},
        {"a~:_b~:_", {"a", "b"}},
        {"a~:b~:_", {"a~:b"}},
        {Sj("会議室~:_トイレ~:_"), {Sj("会議室"), Sj("トイレ")}},
        // "ミ" is 83 7E: its second byte is '~' but it starts no separator.
        {Sj("ミ:_x~:_y"), {Sj("ミ:_x"), "y"}},
        {"a\x83", {"a\x83"}},
    };
    for (const auto& [stored, items] : cases) {
        SCOPED_TRACE(cp932ToUtf8(stored));
        EXPECT_EQ(DecodeList(stored), items);
    }
}

TEST(ListCodec, EncodingRoundTrips) {
    const std::vector<std::vector<std::string>> lists = {
        {},
        {"10.0.0.255"},
        {Sj("会議室"), Sj("トイレ"), Sj("ミ:_ーティング")},
        {"a", "", "b"},
    };
    for (const auto& items : lists) {
        std::vector<std::string> nonEmpty;
        for (const auto& i : items)
            if (!i.empty()) nonEmpty.push_back(i);
        const std::string stored = EncodeList(items);
        EXPECT_EQ(DecodeList(stored), nonEmpty);
    }
    EXPECT_EQ(EncodeList({Sj("会議室"), Sj("トイレ")}), Sj("会議室~:_トイレ~:_"));
    EXPECT_EQ(EncodeList({}), "");
}

TEST(ListCodec, AnItemEndingInALoneLeadByteKeepsItsSeparator) {
    // 89 63 is one double-byte character, 83 the lead byte of a character cut off after it.
    const std::vector<std::string> items = {"\x89\x63\x83", "b", "\x83", Sj("ミ") + "\x83", "c"};
    const std::string stored = EncodeList(items);
    EXPECT_EQ(stored, "\x89\x63~:_b~:_" + Sj("ミ") + "~:_c~:_");
    const std::vector<std::string> back = DecodeList(stored);
    EXPECT_EQ(back, (std::vector<std::string>{"\x89\x63", "b", Sj("ミ"), "c"}));
    // Saved and read again, nothing moves.
    EXPECT_EQ(EncodeList(back), stored);
}

// Password scrambling --------------------------------------------------------------------

std::string scramble(const std::string& plain, bool* ok = nullptr) {
    std::string p = plain, s = "junk";
    const bool r = EncodePassword(PasswordDirection::Scramble, p, s);
    if (ok) *ok = r;
    return s;
}

std::string unscramble(const std::string& stored, bool* ok = nullptr) {
    std::string p = "junk", s = stored;
    const bool r = EncodePassword(PasswordDirection::Unscramble, p, s);
    if (ok) *ok = r;
    return p;
}

TEST(PasswordScrambler, ScramblesAsTheOldProgramDid) {
    bool ok = false;
    const std::string abc = scramble("abc", &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(abc.size(), 16u);
    EXPECT_EQ(abc.substr(4), "0b9c15d41fd6");
    EXPECT_EQ(unscramble(abc), "abc");
    // Any marker group decodes the same: it is never read.
    EXPECT_EQ(unscramble("ffff0b9c15d41fd6"), "abc");
    EXPECT_EQ(unscramble("00000B9C15D41FD6"), "abc");

    const std::string sixteen = "~Pass word 1234}";
    const std::string s16 = scramble(sixteen, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(s16.size(), 68u);
    EXPECT_EQ(s16.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(unscramble(s16), sixteen);

    std::string all;
    for (int c = 1; c <= 127; c += 9) all.push_back(static_cast<char>(c));
    EXPECT_EQ(unscramble(scramble(all)), all);
}

TEST(PasswordScrambler, RefusesWhatCannotBeSaved) {
    bool ok = true;
    EXPECT_EQ(scramble(std::string(17, 'a'), &ok), "");
    EXPECT_FALSE(ok);
    EXPECT_EQ(scramble("pa\xe9ss", &ok), "");
    EXPECT_FALSE(ok);
    EXPECT_EQ(scramble(Sj("パス"), &ok), "");
    EXPECT_FALSE(ok);
    EXPECT_EQ(scramble(std::string("pa\0ss", 5), &ok), "");  // would not read back
    EXPECT_FALSE(ok);
    // An empty password scrambles to the marker alone, which reads back empty.
    EXPECT_EQ(unscramble(scramble("", &ok)), "");
    EXPECT_TRUE(ok);
}

TEST(PasswordScrambler, UnscramblesOnlyWhatTheProgramCouldHaveWritten) {
    struct Case {
        std::string stored;
        std::string plain;
        bool ok;
    };
    const std::string abc = "004b0b9c15d41fd6";
    const Case cases[] = {
        {"", "", true},
        {"abc", "", false},  // a cut marker
        {"004b", "", true},  // marker only
        {"ffff" + abc.substr(4), "abc", true},
        {scramble(std::string(16, 'z')), std::string(16, 'z'), true},
        {std::string(72, '1'), "", false},  // 18 groups: never written by the program
        {"004b0b9c15d4zzzz", "", false},    // not hexadecimal
        {"zzzz0b9c15d41fd6", "", false},    // the marker is not either
        {"004b0b9c15d40002", "", false},    // decodes to a NUL byte
        // A value cut or altered by hand must not read as another password.
        {abc + "12", "", false},
        {abc.substr(0, 15), "", false},
        {abc.substr(0, 13), "", false},
        {"004b0b9d15d41fd6", "", false},  // not a whole multiple: 2971 = 99 * 30 + 1
        {"004b0ba415d41fd6", "", false},  // 2980: between two characters
        {"004b0f0215d41fd6", "", false},  // 3842 = 128 * 30 + 2: above 127
        {"004bea6215d41fd6", "", false},  // 60002 = 2000 * 30 + 2
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        bool ok = !c.ok;
        EXPECT_EQ(unscramble(c.stored, &ok), c.plain);
        EXPECT_EQ(ok, c.ok);
    }
}

}  // namespace
}  // namespace kestrel
