#include "platform/ProgramDir.h"

#include "res/TextsCore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace kestrel {
namespace {

std::string WithoutTrailingSlash(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

// Compared by their real paths, so /bin on a merged /usr is /usr/bin and a symbolic link to a
// build tree is still that tree.
std::string RealPath(const std::string& dir) {
    const QString canonical = QFileInfo(QString::fromStdString(dir)).canonicalFilePath();
    return canonical.isEmpty() ? WithoutTrailingSlash(dir) : canonical.toStdString();
}

bool IsInstalledProgramDir(const std::string& dir, const std::string& installBinDir) {
    static const char* const kSystemBinDirs[] = {
        "/bin",           "/sbin",           "/usr/bin",         "/usr/sbin", "/usr/games",
        "/usr/local/bin", "/usr/local/sbin", "/usr/local/games", "/opt/bin",
    };
    const std::string real = RealPath(dir);
    if (!installBinDir.empty() && real == RealPath(installBinDir)) return true;
    for (const char* system : kSystemBinDirs) {
        if (real == RealPath(system)) return true;
    }
    return false;
}

// The data directory holds the chat history and the record of read mail: private to the user
// from the start. Its parents are ordinary directories of the user's.
void MakePrivateDir(const std::string& dir) {
    const auto slash = dir.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        QDir().mkpath(QString::fromStdString(dir.substr(0, slash)));
    }
    ::mkdir(dir.c_str(), 0700);
}

}  // namespace

std::string ProgramDir() {
    if (const char* home = std::getenv("KESTREL_HOME"); home && *home) {
        return WithoutTrailingSlash(home);
    }
    return ProgramDirFor(QCoreApplication::applicationDirPath().toStdString());
}

std::string ProgramFile(const std::string& name) {
    return ProgramDir() + "/" + name;
}

std::string ProgramDirFor(const std::string& executableDir, const std::string& installBinDir) {
    const std::string dir = WithoutTrailingSlash(executableDir);
    if (!dir.empty() && ::access(dir.c_str(), W_OK | X_OK) == 0 &&
        !IsInstalledProgramDir(dir, installBinDir)) {
        return dir;
    }
    const std::string data = UserDataDir();
    MakePrivateDir(data);
    return data;
}

std::string InstallBinDir() {
    return KESTREL_INSTALL_BINDIR;
}

std::string UserDataDir() {
    // Spelled out rather than AppDataLocation, which follows whatever names the application
    // object was given; the settings use these two names as well.
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return WithoutTrailingSlash(base.toStdString()) + "/" + txt::kVendorKey + "/" + txt::kAppKey;
}

std::string ShippedFile(const std::string& name) {
    return ShippedFileFor(QCoreApplication::applicationDirPath().toStdString(), name);
}

std::string ShippedFileFor(const std::string& executableDir, const std::string& name) {
    const QString exeDir = QString::fromStdString(executableDir);
    const QString wanted = QString::fromStdString(name);
    const QString beside = exeDir + u'/' + wanted;
    if (QFileInfo::exists(beside)) return beside.toStdString();
    // An installed program: <prefix>/bin/kestrel with its data in <prefix>/share/kestrel.
    const QString installed =
        QDir::cleanPath(exeDir + QStringLiteral("/../share/kestrel/") + wanted);
    if (QFileInfo::exists(installed)) return installed.toStdString();
    const QString found = QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                                 QStringLiteral("kestrel/") + wanted);
    return found.isEmpty() ? beside.toStdString() : found.toStdString();
}

}  // namespace kestrel
