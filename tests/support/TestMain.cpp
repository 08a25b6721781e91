// Shared main of every test executable: a QApplication on the offscreen platform, and a
// private settings directory and program directory so no test touches the user's files.
#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QTemporaryDir sandbox;
    if (!sandbox.isValid()) return 2;
    const std::string root = sandbox.path().toStdString();
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    setenv("KESTREL_HOME", root.c_str(), 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
