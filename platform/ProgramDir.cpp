#include "platform/ProgramDir.h"

#include <QCoreApplication>

#include <cstdlib>

namespace kestrel {

std::string ProgramDir() {
    if (const char* home = std::getenv("KESTREL_HOME"); home && *home) {
        std::string dir(home);
        while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
        return dir;
    }
    return QCoreApplication::applicationDirPath().toStdString();
}

std::string ProgramFile(const std::string& name) {
    return ProgramDir() + "/" + name;
}

}  // namespace kestrel
