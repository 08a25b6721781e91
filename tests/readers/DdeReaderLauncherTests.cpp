#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include "platform/Timing.h"
#include "readers/DdeBusClient.h"
#include "readers/DdeReaderLauncher.h"
#include "res/Cp932.h"
#include "res/Ids.h"
#include "tests/fakes/CountingDdeClient.h"
#include "tests/fakes/FakeReader.h"
#include "tests/fakes/RecordingMessageBoxes.h"
#include "tests/fakes/RecordingReaderDesktop.h"
#include "tests/support/Spin.h"

namespace kestrel {
namespace {

using test::FakeReader;
using Strings = std::vector<std::string>;
using Connects = std::vector<std::pair<std::string, std::string>>;

class DdeReaderLauncherTest : public ::testing::Test {
protected:
    // Long enough for a started fake reader to come up, short enough not to dawdle.
    static Timing ReaderTiming(int retryMs) {
        Timing t;
        t.readerRetryMs = retryMs;
        return t;
    }
    // A launcher that gives up fast, for readers that never answer.
    DdeReaderLauncher QuickLauncher() {
        return DdeReaderLauncher{[this] { return m_settings; }, m_client, m_desktop, m_boxes,
                                 ReaderTiming(1)};
    }

    std::unique_ptr<FakeReader> Reader(const char* service, const char* topic) {
        return std::make_unique<FakeReader>(
            QStringLiteral(FAKE_READER_PROGRAM), QLatin1String(service), QLatin1String(topic),
            m_dir.filePath(QStringLiteral("reader%1.log").arg(++m_logs)));
    }

    QTemporaryDir m_dir;
    int m_logs = 0;
    ReaderLauncherSettings m_settings;
    DdeBusClient m_bus;
    test::CountingDdeClient m_client{m_bus};
    test::RecordingReaderDesktop m_desktop;
    test::RecordingMessageBoxes m_boxes;
    DdeReaderLauncher m_launcher{[this] { return m_settings; }, m_client, m_desktop, m_boxes,
                                 ReaderTiming(200)};
};

TEST_F(DdeReaderLauncherTest, RunningMailReaderGetsItsCommandAndNothingIsStarted) {
    struct Case {
        int kind;
        const char* service;
        const char* topic;
        const char* command;
    };
    for (const Case& c :
         {Case{1, "ALMail", "ALMail", "[Retreive]"}, Case{2, "Den8", "Command", "[Receive]"}}) {
        SCOPED_TRACE(c.kind);
        auto reader = Reader(c.service, c.topic);
        ASSERT_TRUE(reader->Start());
        m_client.connects.clear();
        m_settings.MailReader = c.kind;
        m_settings.MailFile = "c:\\almail\\almail.exe";

        m_launcher.LaunchMailReader();

        EXPECT_EQ(reader->Executes(), Strings{c.command});
        EXPECT_EQ(m_client.connects, (Connects{{c.service, c.topic}}));
        EXPECT_TRUE(m_desktop.started.empty());
        EXPECT_TRUE(m_boxes.boxes.empty());
    }
}

TEST_F(DdeReaderLauncherTest, AbsentMailReaderIsStartedOnceAndWaitedFor) {
    auto reader = Reader("ALMail", "ALMail");
    m_settings.MailReader = 1;
    m_settings.MailFile = reader->CommandLine();

    m_launcher.LaunchMailReader();

    EXPECT_EQ(m_desktop.started, Strings{m_settings.MailFile});
    EXPECT_EQ(reader->Starts(), 1);
    EXPECT_EQ(reader->Executes(), Strings{"[Retreive]"});
    EXPECT_GE(m_client.connects.size(), 2u);
    EXPECT_EQ(m_desktop.pauses.size(), m_client.connects.size() - 2);  // none after success
    for (int ms : m_desktop.pauses) EXPECT_EQ(ms, 200);
    EXPECT_TRUE(m_boxes.boxes.empty());
}

TEST_F(DdeReaderLauncherTest, MailReaderThatNeverAnswersEndsInTheSettingsBox) {
    DdeReaderLauncher launcher = QuickLauncher();
    m_settings.MailReader = 2;
    m_settings.MailFile = "/bin/true";

    launcher.LaunchMailReader();

    EXPECT_EQ(m_desktop.started, Strings{"/bin/true"});
    // One try before the start, then the retries.
    EXPECT_EQ(m_client.connects.size(), 1u + 15u);
    EXPECT_EQ(m_desktop.pauses.size(), 14u);
    ASSERT_EQ(m_boxes.boxes.size(), 1u);
    EXPECT_EQ(m_boxes.boxes[0].textUtf8(), "メーラの指定方法が正しいか確認してください");
    EXPECT_EQ(m_boxes.boxes[0].captionUtf8(), "環境設定の見直し");
    EXPECT_EQ(m_boxes.boxes[0].icon, BoxIcon::Information);
    EXPECT_EQ(m_boxes.boxes[0].buttons, BoxButtons::Ok);
}

TEST_F(DdeReaderLauncherTest, EmptyProgramSettingDoesNothingAtAll) {
    auto mail = Reader("ALMail", "ALMail");
    auto news = Reader("Netscape", "WWW_OpenURL");
    ASSERT_TRUE(mail->Start());
    ASSERT_TRUE(news->Start());
    for (int kind : {0, 1, 2, 3}) {
        m_settings.MailReader = kind;
        m_launcher.LaunchMailReader();
    }
    for (int kind : {0, 1, 2}) {
        m_settings.NewsReader = kind;
        m_launcher.LaunchNewsReader("fj.news.misc");
    }
    EXPECT_TRUE(m_client.connects.empty());
    EXPECT_TRUE(m_desktop.started.empty());
    EXPECT_TRUE(m_desktop.asked.empty());
    EXPECT_TRUE(m_boxes.boxes.empty());
    EXPECT_TRUE(mail->Executes().empty());
    EXPECT_TRUE(news->Requests().empty());
}

TEST_F(DdeReaderLauncherTest, PlainProgramKindsStartTheSettingAsReadAtEachLaunch) {
    m_desktop.startPrograms = false;
    m_settings.MailReader = 0;
    m_settings.MailFile = "c:\\almail\\almail.exe";
    m_launcher.LaunchMailReader();
    m_settings.MailReader = 3;
    m_settings.MailFile = "sylpheed --receive";
    m_launcher.LaunchMailReader();
    m_settings.NewsReader = 2;
    m_settings.NewsFile = "slrn";
    m_launcher.LaunchNewsReader("fj.news.misc");

    EXPECT_EQ(m_desktop.started, (Strings{"c:\\almail\\almail.exe", "sylpheed --receive", "slrn"}));
    EXPECT_TRUE(m_client.connects.empty());
}

TEST_F(DdeReaderLauncherTest, DesktopKindsStartTheSchemeHandlerAtOnceOrSayWhatIsMissing) {
    auto mail = Reader("ALMail", "ALMail");
    ASSERT_TRUE(mail->Start());
    m_settings.MailReader = kMailReaderDesktop;
    m_settings.NewsReader = kNewsReaderDesktop;
    m_settings.MailFile = "c:\\almail\\almail.exe";
    m_launcher.LaunchMailReader();
    m_launcher.LaunchNewsReader("fj.news.misc");
    EXPECT_EQ(m_desktop.handlers, (Strings{"mailto | ", "news nntp | news:fj.news.misc"}));
    EXPECT_TRUE(m_boxes.boxes.empty());

    m_desktop.handlerStarts = false;
    m_desktop.handlers.clear();
    m_launcher.LaunchMailReader();
    m_launcher.LaunchNewsReader("fj.news.misc");
    EXPECT_EQ(m_desktop.handlers.size(), 2u);
    ASSERT_EQ(m_boxes.boxes.size(), 2u);
    const struct {
        const char* kind;
        const char* fix;
    } expected[] = {{"メールソフト", "xdg-mime default <アプリ>.desktop x-scheme-handler/mailto"},
                    {"ニュースリーダ", "xdg-mime default <アプリ>.desktop x-scheme-handler/news"}};
    for (size_t i = 0; i < 2; ++i) {
        const std::string text = cp932ToUtf8(m_boxes.boxes[i].text);
        EXPECT_EQ(text.find(expected[i].kind), 0u) << text;
        EXPECT_NE(text.find(expected[i].fix), std::string::npos) << text;
        EXPECT_EQ(cp932ToUtf8(m_boxes.boxes[i].caption), "環境設定の見直し");
    }

    // The running AL-Mail was neither asked nor waited for, and no program started.
    EXPECT_TRUE(m_client.connects.empty());
    EXPECT_TRUE(m_desktop.pauses.empty());
    EXPECT_TRUE(m_desktop.started.empty());
    EXPECT_TRUE(mail->Executes().empty());
}

TEST_F(DdeReaderLauncherTest, WinVnIsStartedOnlyWhenItsWindowIsAbsent) {
    m_desktop.startPrograms = false;
    m_settings.NewsReader = 1;
    m_settings.NewsFile = "c:\\winvn\\winvn.exe";

    m_desktop.windows = {"WinVnFrame"};
    m_launcher.LaunchNewsReader("fj.news.misc");
    EXPECT_TRUE(m_desktop.started.empty());

    m_desktop.windows.clear();
    m_launcher.LaunchNewsReader("fj.news.misc");
    EXPECT_EQ(m_desktop.started, Strings{"c:\\winvn\\winvn.exe"});
    EXPECT_EQ(m_desktop.asked, (Strings{"WinVnFrame", "WinVnFrame"}));
    EXPECT_TRUE(m_client.connects.empty());
}

TEST_F(DdeReaderLauncherTest, NewsConversationIsKeptUntilThePopupCloses) {
    auto reader = Reader("Netscape", "WWW_OpenURL");
    ASSERT_TRUE(reader->Start());
    m_settings.NewsReader = 0;
    m_settings.NewsFile = "c:\\netscape\\program\\netscape.exe";

    m_launcher.LaunchNewsReader("fj.news.misc");
    m_launcher.LaunchNewsReader("fj.comp.lang.c");
    EXPECT_EQ(reader->Requests(), (Strings{"news:fj.news.misc,,0xFFFFFFFF,0x1",
                                           "news:fj.comp.lang.c,,0xFFFFFFFF,0x1"}));
    EXPECT_EQ(m_client.connects, (Connects{{"Netscape", "WWW_OpenURL"}}));
    EXPECT_TRUE(m_launcher.HasNewsConversation());

    m_launcher.CloseNewsConversation();
    EXPECT_FALSE(m_launcher.HasNewsConversation());
    m_launcher.LaunchNewsReader("fj.test");
    EXPECT_EQ(m_client.connects.size(), 2u);
    EXPECT_EQ(reader->Requests().size(), 3u);
    EXPECT_TRUE(m_desktop.started.empty());
}

TEST_F(DdeReaderLauncherTest, AbsentNewsReaderIsStartedAndThenKept) {
    auto reader = Reader("Netscape", "WWW_OpenURL");
    m_settings.NewsReader = 0;
    m_settings.NewsFile = reader->CommandLine();

    m_launcher.LaunchNewsReader("fj.news.misc");
    const size_t connects = m_client.connects.size();
    m_launcher.LaunchNewsReader("fj.test");

    EXPECT_EQ(m_desktop.started, Strings{m_settings.NewsFile});
    EXPECT_EQ(m_client.connects.size(), connects);  // the second click reused the conversation
    EXPECT_EQ(reader->Requests(),
              (Strings{"news:fj.news.misc,,0xFFFFFFFF,0x1", "news:fj.test,,0xFFFFFFFF,0x1"}));
}

TEST_F(DdeReaderLauncherTest, NewsReaderThatNeverAnswersIsNotReported) {
    DdeReaderLauncher launcher = QuickLauncher();
    m_settings.NewsReader = 0;
    m_settings.NewsFile = "/bin/true";

    launcher.LaunchNewsReader("fj.news.misc");

    EXPECT_EQ(m_desktop.started, Strings{"/bin/true"});
    EXPECT_EQ(m_client.connects.size(), 1u + 15u);
    EXPECT_TRUE(m_boxes.boxes.empty());
    EXPECT_FALSE(launcher.HasNewsConversation());
}

TEST_F(DdeReaderLauncherTest, NewsReaderEndingTheConversationMakesTheNextClickStartOver) {
    auto first = Reader("Netscape", "WWW_OpenURL");
    ASSERT_TRUE(first->Start());
    m_settings.NewsReader = 0;
    m_settings.NewsFile = "unused";
    m_launcher.LaunchNewsReader("fj.a");
    ASSERT_TRUE(m_launcher.HasNewsConversation());

    first->Stop();
    EXPECT_TRUE(test::SpinUntil([&] { return !m_launcher.HasNewsConversation(); }));

    auto second = Reader("Netscape", "WWW_OpenURL");
    m_settings.NewsFile = second->CommandLine();
    m_launcher.LaunchNewsReader("fj.b");
    EXPECT_EQ(m_desktop.started, Strings{m_settings.NewsFile});
    EXPECT_EQ(second->Requests(), Strings{"news:fj.b,,0xFFFFFFFF,0x1"});
    EXPECT_EQ(first->Requests(), Strings{"news:fj.a,,0xFFFFFFFF,0x1"});
}

TEST_F(DdeReaderLauncherTest, KeptConversationWhoseReaderVanishedUnnoticedIsNotTrusted) {
    auto first = Reader("Netscape", "WWW_OpenURL");
    ASSERT_TRUE(first->Start());
    m_settings.NewsReader = 0;
    m_settings.NewsFile = "unused";
    m_launcher.LaunchNewsReader("fj.a");
    // The reader is replaced before the event loop could deliver the notice.
    first->KillQuietly();
    auto second = Reader("Netscape", "WWW_OpenURL");
    ASSERT_TRUE(second->StartQuietly());
    ASSERT_TRUE(m_launcher.HasNewsConversation());

    m_launcher.LaunchNewsReader("fj.b");
    EXPECT_EQ(second->Requests(), Strings{"news:fj.b,,0xFFFFFFFF,0x1"});
    EXPECT_TRUE(m_desktop.started.empty());
}

}  // namespace
}  // namespace kestrel
