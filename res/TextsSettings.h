#pragma once

// Fixed texts of the settings store: the string defaults of the stored values, in UTF-8;
// use them through sjis() (res/Text.h).

namespace kestrel::txt {

// Host names the user is meant to replace in the environment settings.
inline constexpr char kDefaultNNTPServer[] = "your.news.server";
inline constexpr char kDefaultPOPServer[] = "your.pop.server";
inline constexpr char kDefaultNewsFile[] = "c:\\netscape\\program\\netscape.exe";
inline constexpr char kDefaultMailFile[] = "c:\\almail\\almail.exe";
inline constexpr char kDefaultUserId[] = "your_name";
inline constexpr char kDefaultSoundFile[] = "C:\\WINDOWS\\RINGOUT.WAV";

}  // namespace kestrel::txt
