// Kestrel for Intranet: a resident mail and news notifier and presence tool.
#include <QApplication>

#include "app/CKestrelApp.h"
#include "ui/CMainFrame.h"

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    // Hidden to the tray is still running: only the exit command ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    kestrel::CKestrelApp app;
    if (!app.InitInstance()) return 1;
    if (!app.MainFrame()) return 0;
    return QApplication::exec();
}
