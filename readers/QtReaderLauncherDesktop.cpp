#include "readers/QtReaderLauncherDesktop.h"

#include <QEventLoop>
#include <QProcess>
#include <QStringList>
#include <QTimer>

#include "platform/QtText.h"
#include "readers/DesktopSchemeHandler.h"
#include "readers/X11WindowFinder.h"
#include "res/Cp932.h"

namespace kestrel {

bool QtReaderLauncherDesktop::StartProgram(const std::string& commandLine) {
    QStringList args = QProcess::splitCommand(fromSjis(commandLine));
    if (args.isEmpty()) return false;
    const QString program = args.takeFirst();
    return QProcess::startDetached(program, args);
}

bool QtReaderLauncherDesktop::TopLevelWindowExists(const std::string& windowClass) {
    return X11WindowFinder::ClassExists(windowClass);
}

void QtReaderLauncherDesktop::Pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

bool QtReaderLauncherDesktop::StartSchemeHandler(const std::vector<std::string>& schemes,
                                                 const std::string& url) {
    return DesktopSchemeHandler::Start(schemes, cp932ToUtf8(url));
}

}  // namespace kestrel
