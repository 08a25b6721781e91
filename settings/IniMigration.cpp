#include "settings/IniMigration.h"

#include <climits>
#include <filesystem>
#include <system_error>

#include "platform/IniFileReader.h"
#include "platform/MessageBoxes.h"
#include "res/Text.h"
#include "res/TextsCore.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"

namespace kestrel {
namespace {

struct OldKey {
    const char* section;
    const char* name;
    SettingType kind;
    const char* fileDefault;  // UTF-8
};

// The old file's keys, in the order they are carried over, with the old program's defaults
// (which differ from today's for several of them).
constexpr OldKey kOldKeys[] = {
    {section::Environment, "AUTHPort", SettingType::Int, "113"},
    {section::Environment, "BiffService", SettingType::Int, "0"},
    {section::Environment, "debug", SettingType::Int, "0"},
    {section::Environment, "DefaultUserId", SettingType::String, ""},
    {section::Environment, "DirService", SettingType::Int, "0"},
    {section::Environment, "Identify", SettingType::Int, "0"},
    {section::Environment, "LastTime", SettingType::String, ""},
    {section::Environment, "MailCheck", SettingType::Int, "0"},
    {section::Environment, "MailFile", SettingType::String, ""},
    {section::Environment, "MailReader", SettingType::Int, "2"},
    {section::Environment, "NewsCheck", SettingType::Int, "0"},
    {section::Environment, "NewsFile", SettingType::String, ""},
    {section::Environment, "NewsReader", SettingType::Int, "2"},
    {section::Environment, "NNTPPort", SettingType::Int, "119"},
    {section::Environment, "NNTPServer", SettingType::String, ""},
    {section::Environment, "PasswdCheck", SettingType::Int, "0"},
    {section::Environment, "POPPort", SettingType::Int, "110"},
    {section::Environment, "POPServer", SettingType::String, ""},
    {section::Environment, "PSWDPort", SettingType::Int, "106"},
    {section::PeerChat, "AliaseName", SettingType::String, ""},
    {section::PeerChat, "Chating", SettingType::Int, "1"},
    {section::PeerChat, "ChatPort", SettingType::Int, "2425"},
    {section::PeerChat, "DirPort", SettingType::Int, "12425"},
    {section::PeerChat, "DirServer", SettingType::String, ""},
    {section::PeerChat, "UseDirServer", SettingType::Int, "0"},
    {section::Position, "left", SettingType::Int, "80"},
    {section::Position, "top", SettingType::Int, "80"},
    {section::Sound, "Sound", SettingType::Int, "0"},
    {section::Sound, "SoundFile", SettingType::String, ""},
    {section::Timer, "CheckDays", SettingType::Int, "7"},
    {section::Timer, "MailTimer", SettingType::Int, "3"},
    {section::Timer, "NewsTimer", SettingType::Int, "10"},
    {section::UserInterface, "BeIcon", SettingType::Int, "0"},
    {section::UserInterface, "BePopup", SettingType::Int, "0"},
    {section::WhereIs, "Places", SettingType::String, txt::kDefaultPlaces},
};

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void inform(MessageBoxes& boxes, const char* text) {
    boxes.Show(sjis(text), sjis(txt::kProductTitle), BoxIcon::Information, BoxButtons::Ok);
}

}  // namespace

int LeadingInt(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long n = 0;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        n = n * 10 + (text[i] - '0');
        if (n > limit) n = limit;  // held there however many digits follow
    }
    return static_cast<int>(negative ? -n : n);
}

void MigrateIniFile(SettingsStore& store, MessageBoxes& boxes, const std::string& programDir) {
    namespace fs = std::filesystem;
    const fs::path dir(programDir);
    const fs::path file = dir / txt::kIniFileName;
    std::error_code ec;
    if (!fs::exists(file, ec)) return;

    IniFileReader ini;
    if (!fs::is_regular_file(file, ec) || !ini.Load(file.string())) return;

    inform(boxes, txt::kMigrateStart);
    for (const OldKey& row : kOldKeys) {
        const std::string text = ini.GetString(row.section, row.name, sjis(row.fileDefault));
        if (row.kind == SettingType::Int)
            store.WriteInt(row.section, row.name, LeadingInt(text));
        else
            store.WriteString(row.section, row.name, text);
    }
    // The values are in the file before the old one loses its name.
    store.Flush();
    // A leftover kestrel_ini.old from an earlier move is replaced; keeping it would leave
    // kestrel.ini in place and move it again over newer settings at every start.
    fs::rename(file, dir / txt::kIniOldFileName, ec);
    inform(boxes, txt::kMigrateDone);
}

}  // namespace kestrel
