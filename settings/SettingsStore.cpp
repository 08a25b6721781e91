#include "settings/SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QStringList>

#include <algorithm>
#include <cassert>
#include <climits>

#include "platform/QtText.h"
#include "res/Text.h"
#include "res/TextsCore.h"

namespace kestrel {

namespace {

// The directories of the desktop's shared configuration, most important first.
QStringList systemConfigDirs() {
    const QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    QStringList out;
    for (const QString& dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(dir)) out << dir;
    if (out.isEmpty()) out << QStringLiteral("/etc/xdg");
    return out;
}

}  // namespace

SettingsStore::SettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             QString::fromLatin1(txt::kVendorKey),
                                             QString::fromLatin1(txt::kAppKey))) {
    // Qt's own fallbacks read only /etc/xdg, and its organisation-wide file as well; the
    // administrator's defaults are read here instead, from wherever the desktop keeps them.
    m_settings->setFallbacksEnabled(false);
    const QString relative = QString::fromLatin1(txt::kVendorKey) + QLatin1Char('/') +
                             QString::fromLatin1(txt::kAppKey) + QStringLiteral(".conf");
    for (const QString& dir : systemConfigDirs()) {
        const QString file = dir + QLatin1Char('/') + relative;
        if (QFileInfo::exists(file))
            m_defaults.push_back(std::make_unique<QSettings>(file, QSettings::IniFormat));
    }
}

QVariant SettingsStore::value(const QString& key) const {
    QVariant v = m_settings->value(key);
    for (auto it = m_defaults.begin(); !v.isValid() && it != m_defaults.end(); ++it)
        v = (*it)->value(key);
    return v;
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::path(std::string_view sectionName, std::string_view name) {
    QString p = QString::fromLatin1(sectionName.data(), static_cast<qsizetype>(sectionName.size()));
    p += QLatin1Char('/');
    p += QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    return p;
}

int SettingsStore::GetInt(std::string_view sectionName, std::string_view name,
                          int defaultValue) const {
    std::lock_guard lock(m_mutex);
    const QVariant v = value(path(sectionName, name));
    if (!v.isValid()) return defaultValue;
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    if (!ok || n < INT_MIN || n > INT_MAX) return defaultValue;
    return static_cast<int>(n);
}

std::string SettingsStore::GetString(std::string_view sectionName, std::string_view name,
                                     const std::string& defaultValue) const {
    std::lock_guard lock(m_mutex);
    const QVariant v = value(path(sectionName, name));
    if (!v.isValid()) return defaultValue;
    // An unquoted comma in a hand-edited file makes the INI reader split the text; the
    // value meant is the whole line.
    if (v.typeId() == QMetaType::QStringList)
        return toSjis(v.toStringList().join(QLatin1Char(',')));
    return toSjis(v.toString());
}

void SettingsStore::WriteInt(std::string_view sectionName, std::string_view name, int value) {
    std::lock_guard lock(m_mutex);
    m_settings->setValue(path(sectionName, name), value);
}

void SettingsStore::WriteString(std::string_view sectionName, std::string_view name,
                                const std::string& value) {
    std::lock_guard lock(m_mutex);
    m_settings->setValue(path(sectionName, name), fromSjis(value));
}

int SettingsStore::GetInt(const SettingKey& key) const {
    return GetInt(key, key.intDefault);
}

int SettingsStore::GetInt(const SettingKey& key, int dependentDefault) const {
    assert(key.type == SettingType::Int);
    const int v = GetInt(key.section, key.name, dependentDefault);
    return std::clamp(v, key.minValue, key.maxValue);
}

std::string SettingsStore::GetString(const SettingKey& key) const {
    return GetString(key, sjis(key.stringDefault));
}

std::string SettingsStore::GetString(const SettingKey& key,
                                     const std::string& dependentDefault) const {
    assert(key.type == SettingType::String);
    return GetString(key.section, key.name, dependentDefault);
}

void SettingsStore::Write(const SettingKey& key, int value) {
    assert(key.type == SettingType::Int);
    WriteInt(key.section, key.name, value);
}

void SettingsStore::Write(const SettingKey& key, const std::string& value) {
    assert(key.type == SettingType::String);
    WriteString(key.section, key.name, value);
}

void SettingsStore::Remove(const SettingKey& key) {
    std::lock_guard lock(m_mutex);
    m_settings->remove(path(key.section, key.name));
}

void SettingsStore::Flush() {
    std::lock_guard lock(m_mutex);
    m_settings->sync();
}

void SettingsStore::RemoveStaleCopies() {
    const QString file =
        QSettings(QSettings::NativeFormat, QSettings::UserScope,
                  QString::fromLatin1(txt::kVendorKey), QString::fromLatin1(txt::kAppKey))
            .fileName();
    const QFileInfo info(file);
    // A save writes the whole file anew beside it ("Kestrel.conf.XXXXXX") and renames it
    // over the old one, holding "Kestrel.conf.lock" meanwhile.
    QDir dir = info.dir();
    const QString prefix = info.fileName() + QLatin1Char('.');
    const QStringList copies =
        dir.entryList({prefix + QStringLiteral("??????")}, QDir::Files | QDir::Hidden);
    for (const QString& copy : copies) {
        if (copy != prefix + QStringLiteral("lock")) dir.remove(copy);
    }
    // The lock names the process that held it: one whose process is gone is taken over and
    // released, which removes the file. A kill between making the lock and writing its
    // name into it leaves one that names no process; Qt would wait for it to age.
    QLockFile lock(file + QStringLiteral(".lock"));
    if (lock.tryLock(0)) {
        lock.unlock();
    } else if (qint64 pid = 0; !lock.getLockInfo(&pid, nullptr, nullptr)) {
        lock.removeStaleLockFile();
    }
}

std::string SettingsStore::FilePath() const {
    std::lock_guard lock(m_mutex);
    return m_settings->fileName().toStdString();
}

}  // namespace kestrel
