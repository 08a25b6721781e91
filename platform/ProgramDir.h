#pragma once

#include <string>

namespace kestrel {

// The directory where the program keeps its per-user files (logs, watch list, seen-mail record,
// old settings file, chat history). KESTREL_HOME wins when set; otherwise see ProgramDirFor().
// No trailing separator.
std::string ProgramDir();

// ProgramDir() + "/" + name.
std::string ProgramFile(const std::string& name);

// Where `cmake --install` puts the executable, as this build was configured (absolute).
std::string InstallBinDir();

// The choice for an executable living in executableDir, KESTREL_HOME aside: that directory when
// it is a build tree, else UserDataDir(), made with mode 0700 if missing. A build tree is a
// directory the user may write that is neither installBinDir nor one of the system's program
// directories (/usr/bin, /usr/local/bin, ...): the superuser may write /usr/bin, and an
// installed program must not fill it with one user's logs.
std::string ProgramDirFor(const std::string& executableDir,
                          const std::string& installBinDir = InstallBinDir());

// The user's data directory: $XDG_DATA_HOME/Harrowgate/Kestrel, by default
// ~/.local/share/Harrowgate/Kestrel.
std::string UserDataDir();

// A file shipped with the program (the help page): beside the executable in a build tree,
// under share/kestrel of the install prefix when installed.
std::string ShippedFile(const std::string& name);

// The same for an executable living in executableDir.
std::string ShippedFileFor(const std::string& executableDir, const std::string& name);

}  // namespace kestrel
