// Shared main of every test executable: a QApplication on the offscreen platform, and a
// private settings directory and program directory so no test touches the user's files
// or reads the machine's shared ones.
#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QTemporaryDir sandbox;
    if (!sandbox.isValid()) return 2;
    // The program writes CP932 file names, which QDir cannot always spell back; remove the
    // sandbox by its bytes instead.
    sandbox.setAutoRemove(false);
    const std::string root = sandbox.path().toStdString();
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    // An administrator's defaults on this machine must not reach the tests either.
    setenv("XDG_CONFIG_DIRS", (root + "/xdg").c_str(), 1);
    setenv("KESTREL_HOME", root.c_str(), 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    return result;
}
