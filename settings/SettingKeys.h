#pragma once

#include <climits>
#include <span>
#include <string_view>

#include "res/Ids.h"
#include "res/TextsCore.h"
#include "res/TextsSettings.h"

namespace kestrel {

enum class SettingType { Int, String };

// Defaults that are not fixed: the reader supplies them with the input they depend on.
enum class DependentDefault {
    None,
    DefaultUserId,       // the `Environment`/`DefaultUserId` value read just before
    ScreenWidthEighth,   // screen width / 8
    ScreenHeightEighth,  // screen height / 8
};

// One stored value: where it lives, its type, its default and the range a read brings it
// into. Strings defaults are fixed texts in UTF-8 (used through sjis()).
struct SettingKey {
    const char* section;
    const char* name;
    SettingType type;
    int intDefault = 0;
    const char* stringDefault = "";
    int minValue = INT_MIN;
    int maxValue = INT_MAX;
    DependentDefault dependent = DependentDefault::None;
};

namespace section {
inline constexpr char Environment[] = "Environment";
inline constexpr char PeerChat[] = "PeerChat";
inline constexpr char WhereIs[] = "WhereIs";
inline constexpr char Timer[] = "Timer";
inline constexpr char Sound[] = "Sound";
inline constexpr char UserInterface[] = "UserInterface";
inline constexpr char Position[] = "Position";
}  // namespace section

namespace key {
namespace detail {
constexpr SettingKey Int(const char* sec, const char* name, int def) {
    return {sec, name, SettingType::Int, def};
}
constexpr SettingKey Str(const char* sec, const char* name, const char* def) {
    return {sec, name, SettingType::String, 0, def};
}
}  // namespace detail

inline constexpr SettingKey NNTPServer =
    detail::Str(section::Environment, "NNTPServer", txt::kDefaultNNTPServer);
inline constexpr SettingKey POPServer =
    detail::Str(section::Environment, "POPServer", txt::kDefaultPOPServer);
inline constexpr SettingKey NewsFile =
    detail::Str(section::Environment, "NewsFile", txt::kDefaultNewsFile);
inline constexpr SettingKey MailFile =
    detail::Str(section::Environment, "MailFile", txt::kDefaultMailFile);
inline constexpr SettingKey DefaultUserId =
    detail::Str(section::Environment, "DefaultUserId", txt::kDefaultUserId);
inline constexpr SettingKey NNTPPort = detail::Int(section::Environment, "NNTPPort", 119);
inline constexpr SettingKey POPPort = detail::Int(section::Environment, "POPPort", 110);
inline constexpr SettingKey AUTHPort = detail::Int(section::Environment, "AUTHPort", 113);
inline constexpr SettingKey PSWDPort = detail::Int(section::Environment, "PSWDPort", 106);
// A file with no stored reader choice gets the desktop's own applications; a stored choice
// stays what it was.
inline constexpr SettingKey NewsReader =
    detail::Int(section::Environment, "NewsReader", kNewsReaderDesktop);
inline constexpr SettingKey MailReader =
    detail::Int(section::Environment, "MailReader", kMailReaderDesktop);
inline constexpr SettingKey NewsCheck = detail::Int(section::Environment, "NewsCheck", 0);
inline constexpr SettingKey MailCheck = detail::Int(section::Environment, "MailCheck", 1);
inline constexpr SettingKey Identify = detail::Int(section::Environment, "Identify", 0);
inline constexpr SettingKey PasswdCheck = detail::Int(section::Environment, "PasswdCheck", 1);
inline constexpr SettingKey Password = detail::Str(section::Environment, "Password", "");
inline constexpr SettingKey LastTime = detail::Str(section::Environment, "LastTime", "");
inline constexpr SettingKey debug = detail::Int(section::Environment, "debug", 0);
// TLS to the servers: 0 none, 1 STLS / STARTTLS after the greeting, 2 TLS from the first byte.
// Values outside are brought into 0..2 when read.
inline constexpr SettingKey POPSecurity{
    section::Environment, "POPSecurity", SettingType::Int, 0, "", 0, 2};
inline constexpr SettingKey NNTPSecurity{
    section::Environment, "NNTPSecurity", SettingType::Int, 0, "", 0, 2};
// How the mail is counted: 0 POP3, 1 IMAP (same server, port, TLS choice and account).
inline constexpr SettingKey MailProtocol{
    section::Environment, "MailProtocol", SettingType::Int, 0, "", 0, 1};
// A CA file trusted besides the system's store; empty for none.
inline constexpr SettingKey TLSCAFile = detail::Str(section::Environment, "TLSCAFile", "");

inline constexpr SettingKey ChatPort = detail::Int(section::PeerChat, "ChatPort", 2425);
inline constexpr SettingKey Chating = detail::Int(section::PeerChat, "Chating", 1);
inline constexpr SettingKey AliaseName{section::PeerChat,
                                       "AliaseName",
                                       SettingType::String,
                                       0,
                                       "",
                                       INT_MIN,
                                       INT_MAX,
                                       DependentDefault::DefaultUserId};
inline constexpr SettingKey CheckSaver = detail::Int(section::PeerChat, "CheckSaver", 1);
inline constexpr SettingKey BroadIPs = detail::Str(section::PeerChat, "BroadIPs", "");
inline constexpr SettingKey AutoUpdate = detail::Int(section::PeerChat, "AutoUpdate", 1);

inline constexpr SettingKey Places = detail::Str(section::WhereIs, "Places", txt::kDefaultPlaces);

// Shorter news intervals are raised to 3 minutes when read.
inline constexpr SettingKey NewsTimer{section::Timer, "NewsTimer", SettingType::Int, 10, "", 3};
inline constexpr SettingKey MailTimer = detail::Int(section::Timer, "MailTimer", 3);
inline constexpr SettingKey CheckDays = detail::Int(section::Timer, "CheckDays", 7);

inline constexpr SettingKey Sound = detail::Int(section::Sound, "Sound", 1);
inline constexpr SettingKey SoundFile =
    detail::Str(section::Sound, "SoundFile", txt::kDefaultSoundFile);

inline constexpr SettingKey BeIcon = detail::Int(section::UserInterface, "BeIcon", 1);
inline constexpr SettingKey BePopup = detail::Int(section::UserInterface, "BePopup", 1);

inline constexpr SettingKey left{section::Position,
                                 "left",
                                 SettingType::Int,
                                 0,
                                 "",
                                 INT_MIN,
                                 INT_MAX,
                                 DependentDefault::ScreenWidthEighth};
inline constexpr SettingKey top{section::Position,
                                "top",
                                SettingType::Int,
                                0,
                                "",
                                INT_MIN,
                                INT_MAX,
                                DependentDefault::ScreenHeightEighth};
}  // namespace key

// Every stored value the program reads, in the order of the settings table.
std::span<const SettingKey* const> AllSettingKeys();

// The descriptor of section/name (exact names), or nullptr.
const SettingKey* FindSettingKey(std::string_view sectionName, std::string_view name);

}  // namespace kestrel
