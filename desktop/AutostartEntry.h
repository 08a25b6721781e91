#pragma once

#include <QString>

namespace kestrel {

// The program's entry in the desktop's autostart folder ($XDG_CONFIG_HOME/autostart, by
// default ~/.config/autostart), under the installed desktop entry's name. An administrator may
// put the same entry into $XDG_CONFIG_DIRS/autostart for everyone; a user's own file of that
// name wins over it, and one saying Hidden=true turns it off for that user.
class AutostartEntry {
public:
    // programPath: the executable the entry starts. When the program found on PATH under its
    // file name is this one, the entry names it the way the installed entry does; otherwise
    // (a build tree, a private install) by its absolute path.
    explicit AutostartEntry(QString programPath);

    // Whether the program starts with the session: the user's file if there is one, else the
    // first shared one.
    bool Enabled() const;
    // Writes the user's file (atomically) or, to turn it off, removes it; off while a shared
    // entry is on leaves a user's file that hides it. False when the file could not be written
    // or removed.
    bool SetEnabled(bool enabled) const;

    QString UserFile() const;
    // The Exec= value: the program, quoted and escaped for a desktop entry where it needs to be.
    QString ExecValue() const;

    static constexpr char kFileName[] = "jp.co.harrowgate.Kestrel.desktop";

private:
    bool SharedEnabled() const;
    bool Write(const QByteArray& text) const;

    QString m_programPath;
};

}  // namespace kestrel
