#include <gtest/gtest.h>

#include "readers/ReaderLauncherPlan.h"
#include "res/Cp932.h"
#include "res/Ids.h"

namespace kestrel {
namespace {

using Kind = ReaderLaunchStep::Kind;

struct MailCase {
    int kind;
    Kind expected;
    const char* service;
    const char* topic;
    const char* command;
};

TEST(ReaderLauncherPlan, MailReaderKinds) {
    const MailCase cases[] = {
        {0, Kind::StartProgram, "", "", ""},
        {1, Kind::Execute, "ALMail", "ALMail", "[Retreive]"},
        {2, Kind::Execute, "Den8", "Command", "[Receive]"},
        {3, Kind::StartProgram, "", "", ""},
        {-1, Kind::StartProgram, "", "", ""},
        {42, Kind::StartProgram, "", "", ""},
    };
    const std::string program = "c:\\almail\\almail.exe";
    for (const MailCase& c : cases) {
        SCOPED_TRACE(c.kind);
        const ReaderLaunchStep step = MailLaunchStep(c.kind, program);
        EXPECT_EQ(step.kind, c.expected);
        EXPECT_EQ(step.service, c.service);
        EXPECT_EQ(step.topic, c.topic);
        EXPECT_EQ(step.payload, c.command);
        EXPECT_EQ(step.program, program);
    }
}

TEST(ReaderLauncherPlan, NewsReaderKinds) {
    const std::string program = "c:\\netscape\\program\\netscape.exe";
    ReaderLaunchStep netscape = NewsLaunchStep(0, program, "fj.news.misc");
    EXPECT_EQ(netscape.kind, Kind::Request);
    EXPECT_EQ(netscape.service, "Netscape");
    EXPECT_EQ(netscape.topic, "WWW_OpenURL");
    EXPECT_EQ(netscape.payload, "news:fj.news.misc,,0xFFFFFFFF,0x1");
    EXPECT_EQ(netscape.program, program);

    ReaderLaunchStep winvn = NewsLaunchStep(1, program, "fj.news.misc");
    EXPECT_EQ(winvn.kind, Kind::StartUnlessWindow);
    EXPECT_EQ(winvn.windowClass, "WinVnFrame");
    EXPECT_EQ(winvn.payload, "");  // WinVN is not told the group

    for (int other : {2, 4, -1}) {
        SCOPED_TRACE(other);
        ReaderLaunchStep step = NewsLaunchStep(other, program, "fj.news.misc");
        EXPECT_EQ(step.kind, Kind::StartProgram);
        EXPECT_EQ(step.program, program);
        EXPECT_EQ(step.payload, "");
    }
}

TEST(ReaderLauncherPlan, GroupBytesGoIntoTheItemUnchanged) {
    const std::string group = utf8ToCp932("fj.日本語.テスト");
    EXPECT_EQ(NewsLaunchStep(0, "x", group).payload, "news:" + group + ",,0xFFFFFFFF,0x1");
}

TEST(ReaderLauncherPlan, EmptyProgramTurnsEveryProgramKindOff) {
    for (int kind : {0, 1, 2, 3}) {
        SCOPED_TRACE(kind);
        EXPECT_EQ(MailLaunchStep(kind, "").kind, Kind::Nothing);
        if (kind != kNewsReaderDesktop) {
            EXPECT_EQ(NewsLaunchStep(kind, "", "fj.a").kind, Kind::Nothing);
        }
    }
}

TEST(ReaderLauncherPlan, DesktopKindsAskForTheSchemeHandlerWhateverTheProgramField) {
    const std::string group = utf8ToCp932("fj.日本語");
    for (const std::string program : {"", "c:\\almail\\almail.exe"}) {
        SCOPED_TRACE(program);
        const ReaderLaunchStep mail = MailLaunchStep(kMailReaderDesktop, program);
        EXPECT_EQ(mail.kind, Kind::SchemeHandler);
        EXPECT_EQ(mail.schemes, std::vector<std::string>{"mailto"});
        EXPECT_EQ(mail.payload, "");  // a "mailto:" URL would open a new message instead
        EXPECT_EQ(mail.program, "");

        const ReaderLaunchStep news = NewsLaunchStep(kNewsReaderDesktop, program, group);
        EXPECT_EQ(news.kind, Kind::SchemeHandler);
        EXPECT_EQ(news.schemes, (std::vector<std::string>{"news", "nntp"}));
        EXPECT_EQ(news.payload, "news:" + group);
        EXPECT_EQ(news.program, "");
    }
    // The other side's desktop value is just another program there.
    EXPECT_EQ(MailLaunchStep(kNewsReaderDesktop, "x").kind, Kind::StartProgram);
    EXPECT_EQ(NewsLaunchStep(kMailReaderDesktop, "x", "fj.a").kind, Kind::StartProgram);
}

}  // namespace
}  // namespace kestrel
