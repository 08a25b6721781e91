#pragma once

#include <string>

namespace kestrel {

class MessageBoxes;
class SettingsStore;

// Moves the settings of an older version, kept in programDir/kestrel.ini (CP932), into the
// store once: every known key is written with the old file's default where the file lacks
// it, and the file is renamed to kestrel_ini.old so the next start does not repeat this.
// The user is told before and after. Without the file nothing happens; a file that exists
// but cannot be read is left alone, so its values are not replaced by the file defaults.
void MigrateIniFile(SettingsStore& store, MessageBoxes& boxes, const std::string& programDir);

// The number at the start of an old integer value: leading blanks and a sign allowed,
// reading stops at the first other character, 0 when there is none, held to the int range.
int LeadingInt(const std::string& text);

}  // namespace kestrel
