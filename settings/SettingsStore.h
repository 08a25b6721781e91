#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "settings/SettingKeys.h"

class QSettings;
class QString;
class QVariant;

namespace kestrel {

// The one gateway to the per-user settings: organisation "Harrowgate", application "Kestrel",
// one group per section. Strings cross it as CP932 bytes and are kept as Unicode text in the
// file. Reading an absent value yields the caller's default; so does an integer that is not a
// number or does not fit an int. A string is returned whole, however long. Writes reach the
// file at Flush(), when the event loop next runs, or when the store is destroyed; writing
// the file costs milliseconds, so a group of values is written first and flushed once.
// A value the user's file lacks is taken from the administrator's defaults,
// Harrowgate/Kestrel.conf in each directory of $XDG_CONFIG_DIRS (default /etc/xdg), the first
// that has it; those files are only read. Safe to use from any thread.
class SettingsStore {
public:
    SettingsStore();
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    int GetInt(std::string_view sectionName, std::string_view name, int defaultValue) const;
    std::string GetString(std::string_view sectionName, std::string_view name,
                          const std::string& defaultValue) const;
    void WriteInt(std::string_view sectionName, std::string_view name, int value);
    void WriteString(std::string_view sectionName, std::string_view name, const std::string& value);

    // Typed access through the descriptor table: the table's default, and an integer brought
    // into the descriptor's range. Keys with a dependent default take it from the caller.
    int GetInt(const SettingKey& key) const;
    int GetInt(const SettingKey& key, int dependentDefault) const;
    std::string GetString(const SettingKey& key) const;
    std::string GetString(const SettingKey& key, const std::string& dependentDefault) const;
    void Write(const SettingKey& key, int value);
    void Write(const SettingKey& key, const std::string& value);
    // Takes the value out of the user's file (an administrator's default shows through).
    void Remove(const SettingKey& key);

    // Puts every write so far into the file.
    void Flush();

    // The file behind the store, for the log and for tests.
    std::string FilePath() const;

    // At start, before any store is made: remove the new copy of the file and the lock that a
    // save cut short by a kill leaves beside it. A single instance runs, so no save of ours
    // can own them then.
    static void RemoveStaleCopies();

private:
    static QString path(std::string_view sectionName, std::string_view name);
    QVariant value(const QString& key) const;

    mutable std::mutex m_mutex;
    std::unique_ptr<QSettings> m_settings;
    std::vector<std::unique_ptr<QSettings>> m_defaults;
};

}  // namespace kestrel
