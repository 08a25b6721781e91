#pragma once

#include <QFile>
#include <QSettings>
#include <QString>

#include <string>

#include "res/Cp932.h"

namespace kestrel::test {

// Tests share one settings file per process; each starts from an empty one.
inline void ClearSettingsFile() {
    QSettings raw(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Harrowgate"),
                  QStringLiteral("Kestrel"));
    raw.clear();
    raw.sync();
}

// Puts a value into the file the way a hand edit or an older build would, bypassing the store.
inline void PutRaw(const char* key, const QString& value) {
    QSettings raw(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Harrowgate"),
                  QStringLiteral("Kestrel"));
    raw.setValue(QString::fromLatin1(key), value);
    raw.sync();
}

// The settings file as it lies on disk, read past the settings cache.
inline std::string FileText(const std::string& path) {
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll().toStdString();
}

inline std::string Sj(const char* utf8) {
    return utf8ToCp932(utf8);
}

}  // namespace kestrel::test
