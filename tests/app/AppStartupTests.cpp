// The start-up sequence of the application object, with message boxes answered by a script.
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/CKestrelApp.h"
#include "app/CKestrelView.h"
#include "app/ServiceController.h"
#include "desktop/SingleInstance.h"
#include "net/TraceLog.h"
#include "platform/ProgramDir.h"
#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsCore.h"
#include "settings/SettingsStore.h"
#include "tests/fakes/RecordingMessageBoxes.h"
#include "tests/support/Spin.h"
#include "ui/CMainFrame.h"

namespace kestrel {
namespace {

using test::RecordingMessageBoxes;

void ResetSettings(const std::vector<std::pair<QString, QVariant>>& values) {
    QSettings raw(QStringLiteral("Harrowgate"), QStringLiteral("Kestrel"));
    raw.clear();
    for (const auto& [k, v] : values) raw.setValue(k, v);
    raw.sync();
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TEST(AppStartup, SecondStartShowsOneBoxAndLeavesTheFirstRunning) {
    // A rewrite of the running program may own this copy of the watch list.
    const std::string copy = ProgramFile(".newschck.lst.Ab12Cd");
    std::ofstream(copy) << "fj.a:1\n";
    for (const char* running : {"Kestrel for Intranet", "KestrelServer for Intranet"}) {
        SCOPED_TRACE(running);
        SingleInstance first;
        ASSERT_TRUE(first.Claim(QString::fromUtf8(running)));
        RecordingMessageBoxes boxes;
        {
            CKestrelApp second(&boxes);
            EXPECT_TRUE(second.InitInstance());
            EXPECT_EQ(second.MainFrame(), nullptr);
        }
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].textUtf8(), "Kestrel for Intranetは複数起動できません");
        EXPECT_EQ(boxes.boxes[0].captionUtf8(), "Kestrel for Intranet");
        EXPECT_EQ(boxes.boxes[0].icon, BoxIcon::Stop);
        EXPECT_TRUE(SingleInstance::AnyRunning({QString::fromUtf8(running)}));
        EXPECT_EQ(ReadFile(copy), "fj.a:1\n");
    }
    std::remove(copy.c_str());
}

TEST(AppStartup, StartsTheWindowPairWritesTheBannerAndPostsTheServiceStart) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const int w = screen.width(), h = screen.height();
    // Nothing enabled, so the posted start command answers with its box instead of a log-in.
    ResetSettings({{QStringLiteral("Environment/debug"), 1},
                   {QStringLiteral("Environment/MailCheck"), 0},
                   {QStringLiteral("PeerChat/Chating"), 0},
                   {QStringLiteral("Position/left"), w - 418},
                   {QStringLiteral("Position/top"), -3}});
    std::remove(EventLogPath().c_str());
    // Left by a rewrite of the watch list and a save of the chat history that kills cut short.
    const std::string copy = ProgramFile(".newschck.lst.Ab12Cd");
    std::ofstream(copy) << "fj.a:1\n";
    const std::string historyCopy =
        ProgramFile("." + sjis(txt::kHistoryPrefix) + "261210.txt.xY9zQ1");
    std::ofstream(historyCopy) << "half a save";
    RecordingMessageBoxes boxes;
    {
        CKestrelApp app(&boxes);
        ASSERT_TRUE(app.InitInstance());
        EXPECT_FALSE(std::ifstream(copy));
        EXPECT_FALSE(std::ifstream(historyCopy));
        ASSERT_NE(app.MainFrame(), nullptr);
        EXPECT_EQ(app.MainFrame()->windowTitle(), QStringLiteral("Kestrel for Intranet"));
        EXPECT_TRUE(app.MainFrame()->isVisible());
        EXPECT_EQ(app.values.left, w - 418);
        EXPECT_EQ(app.values.top, h / 8);
        EXPECT_EQ(app.values.newsgroupLimit, 60);
        EXPECT_EQ(app.values.trace, 1);
        EXPECT_TRUE(SingleInstance::AnyRunning({QStringLiteral("Kestrel for Intranet")}));

        // The posted messages run after the window is shown: stopped icon, then the start.
        ASSERT_TRUE(test::SpinUntil([&] { return !boxes.boxes.empty(); }));
        EXPECT_EQ(app.MainFrame()->CurrentIcon(), IDI_STOPPED);
        EXPECT_EQ(boxes.boxes[0].captionUtf8(), "注意");
        EXPECT_FALSE(app.View()->Service().FirstStart());
        app.values.left = 12;
        app.values.top = 34;
    }
    const std::string log = ReadFile(EventLogPath());
    ASSERT_GE(log.size(), 16u + 72u);
    EXPECT_EQ(log.substr(14, 2), "  ");
    EXPECT_EQ(log.substr(16), std::string(70, '*') + "\r\n");
    // The position goes back to the store at exit.
    SettingsStore store;
    EXPECT_EQ(store.GetInt(key::left, 0), 12);
    EXPECT_EQ(store.GetInt(key::top, 0), 34);
    SetTraceEnabled(false);
}

}  // namespace
}  // namespace kestrel
