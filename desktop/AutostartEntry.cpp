#include "desktop/AutostartEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>

#include <utility>

namespace kestrel {
namespace {

QString userConfigDir() {
    const QString dir = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (QDir::isAbsolutePath(dir)) return dir;
    return QDir::homePath() + QStringLiteral("/.config");
}

QStringList sharedConfigDirs() {
    QStringList out;
    const QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    for (const QString& dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(dir)) out << dir;
    if (out.isEmpty()) out << QStringLiteral("/etc/xdg");
    return out;
}

// A desktop entry is on unless it says Hidden=true or, for GNOME, that it is not enabled.
bool entryIsOn(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return false;
    bool inMainGroup = false;
    bool on = true;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine().trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup) continue;
        const qsizetype eq = line.indexOf('=');
        if (eq < 0) continue;
        const QByteArray name = line.left(eq).trimmed();
        const QByteArray value = line.mid(eq + 1).trimmed();
        if (name == "Hidden" && value == "true") on = false;
        if (name == "X-GNOME-Autostart-enabled" && value == "false") on = false;
    }
    return on;
}

// Quoting of an Exec argument, then the escaping of a desktop entry's string value.
QString execArgument(const QString& arg) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString quoted;
    bool needsQuotes = arg.isEmpty();
    for (const QChar c : arg) {
        if (reserved.contains(c)) needsQuotes = true;
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    if (needsQuotes) quoted = QLatin1Char('"') + quoted + QLatin1Char('"');
    QString value;
    for (const QChar c : std::as_const(quoted)) {
        if (c == QLatin1Char('\\'))
            value += QStringLiteral("\\\\");
        else if (c == QLatin1Char('%'))
            value += QStringLiteral("%%");
        else if (c == QLatin1Char('\n'))
            value += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            value += QStringLiteral("\\t");
        else
            value += c;
    }
    return value;
}

}  // namespace

AutostartEntry::AutostartEntry(QString programPath) : m_programPath(std::move(programPath)) {}

QString AutostartEntry::UserFile() const {
    return userConfigDir() + QStringLiteral("/autostart/") + QLatin1String(kFileName);
}

QString AutostartEntry::ExecValue() const {
    const QFileInfo program(m_programPath);
    const QString onPath = QStandardPaths::findExecutable(program.fileName());
    if (!onPath.isEmpty() && QFileInfo(onPath).canonicalFilePath() == program.canonicalFilePath())
        return execArgument(program.fileName());
    return execArgument(program.absoluteFilePath());
}

bool AutostartEntry::SharedEnabled() const {
    for (const QString& dir : sharedConfigDirs()) {
        const QString file = dir + QStringLiteral("/autostart/") + QLatin1String(kFileName);
        if (QFileInfo::exists(file)) return entryIsOn(file);
    }
    return false;
}

bool AutostartEntry::Enabled() const {
    const QString file = UserFile();
    if (QFileInfo::exists(file)) return entryIsOn(file);
    return SharedEnabled();
}

bool AutostartEntry::Write(const QByteArray& text) const {
    const QString file = UserFile();
    if (!QDir().mkpath(QFileInfo(file).path())) return false;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) return false;
    out.write(text);
    return out.commit();
}

bool AutostartEntry::SetEnabled(bool enabled) const {
    if (enabled) {
        QByteArray text =
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Kestrel for Intranet\n"
            "Comment=Watch a POP3 mailbox and NNTP newsgroups from the tray\n"
            "Exec=";
        text += ExecValue().toUtf8();
        text +=
            "\n"
            "Icon=jp.co.harrowgate.Kestrel\n"
            "Terminal=false\n"
            "StartupNotify=false\n"
            "X-GNOME-Autostart-enabled=true\n";
        return Write(text);
    }
    const QString file = UserFile();
    if (QFileInfo::exists(file) || QFileInfo(file).isSymLink()) {
        if (!QFile::remove(file)) return false;
    }
    if (!SharedEnabled()) return true;
    return Write(
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Kestrel for Intranet\n"
        "Exec=kestrel\n"
        "Hidden=true\n");
}

}  // namespace kestrel
