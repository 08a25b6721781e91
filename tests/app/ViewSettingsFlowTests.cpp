// The view's settings flows with scripted dialogs: what OK keeps, writes and sets going, and
// that Cancel changes nothing.
#include <QComboBox>
#include <QSettings>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/CStatusForm.h"
#include "chat_ui/PeerChatLink.h"
#include "res/Ids.h"
#include "res/Text.h"
#include "tests/app/ViewTestSupport.h"
#include "tests/fakes/ScriptedSettingsDialogs.h"
#include "tests/support/Spin.h"

namespace kestrel {
namespace {

using test::SpinFor;
using test::SpinUntil;

class CountingChat final : public PeerChatLink {
public:
    explicit CountingChat(int& changes) : m_changes(changes) {}
    bool Start() override { return true; }
    void Stop() override {}
    void PresenceChanged() override {}
    void BroadcastListChanged() override { ++m_changes; }
    bool ChatWindowOpen() const override { return false; }
    bool MemberListOpen() const override { return false; }
    void OpenChatWindow() override {}
    void OpenMemberList(bool) override {}
    void ForwardMemberEvent(MessageEvent&) override {}
    void ForwardPeerMessage(MessageEvent&) override {}
    void CloseMemberList() override {}
    QObject* ChatWindow() override { return nullptr; }

private:
    int& m_changes;
};

// What the file holds, read past the store.
QVariant Stored(const char* group, const char* name) {
    QSettings raw(QStringLiteral("Harrowgate"), QStringLiteral("Kestrel"));
    raw.sync();
    return raw.value(QLatin1String(group) + QLatin1Char('/') + QLatin1String(name));
}

class SettingsFlowTest : public test::ViewTest {
protected:
    void SetUp() override {
        ViewTest::SetUp();
        settingsDialogs = &dialogs;
    }
    void Answer(test::ScriptedSettingsDialogs::Answer a) { dialogs.answers.push_back(a); }
    void StartRunning() {
        store->Write(key::NewsCheck, 1);
        store->Write(key::PasswdCheck, 0);
        store->Flush();
        Build();
        login.answers.push_back(LoginInput{"taro", "pw", 0});
        view->OnCommand(ID_START_SERVICE);
        ASSERT_TRUE(view->ServiceRunning());
    }

    test::ScriptedSettingsDialogs dialogs;
};

TEST_F(SettingsFlowTest, CommandsAreOfferedOnlyWithDialogs) {
    settingsDialogs = nullptr;
    Build();
    EXPECT_FALSE(view->IsCommandEnabled(ID_ENVIRONMENT));
    view->OnCommand(ID_ENVIRONMENT);  // nothing to run
    settingsDialogs = &dialogs;
    Reset();
    Build();
    for (unsigned id : {ID_ENVIRONMENT, ID_TIMER_SETTINGS, ID_SOUND_SETTINGS, ID_USER_INTERFACE,
                        ID_COMMUNICATOR, ID_BROADCAST_ADDRESSES, ID_PLACES})
        EXPECT_TRUE(view->IsCommandEnabled(id)) << id;
}

TEST_F(SettingsFlowTest, CancelChangesNothing) {
    Build();
    const std::vector<unsigned> commands = {
        ID_ENVIRONMENT,  ID_TIMER_SETTINGS,      ID_SOUND_SETTINGS, ID_USER_INTERFACE,
        ID_COMMUNICATOR, ID_BROADCAST_ADDRESSES, ID_PLACES};
    for (unsigned id : commands) {
        // The dialog edits its copy, then the user cancels.
        Answer([](ViewSettings& v) {
            v.POPServer = "changed";
            v.MailTimer = 59;
            v.Places.clear();
            return false;
        });
        view->OnCommand(id);
    }
    EXPECT_EQ(dialogs.shown.size(), commands.size());
    EXPECT_EQ(view->Settings().POPServer, "your.pop.server");
    EXPECT_EQ(view->Settings().MailTimer, 3);
    QSettings raw(QStringLiteral("Harrowgate"), QStringLiteral("Kestrel"));
    EXPECT_TRUE(raw.allKeys().isEmpty()) << raw.allKeys().join(QLatin1Char(' ')).toStdString();
}

TEST_F(SettingsFlowTest, EnvironmentWhileRunningWritesRefreshesAndStops) {
    StartRunning();
    Answer([](ViewSettings& v) {
        v.POPServer = "pop.example";
        v.DefaultUserId = "hanako";
        v.NewsCheck = 0;
        v.MailTimer = 44;  // not the environment dialog's: not taken
        return true;
    });
    view->OnCommand(ID_ENVIRONMENT);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].serviceRunning);
    EXPECT_EQ(Stored("Environment", "POPServer").toString(), QStringLiteral("pop.example"));
    EXPECT_EQ(Stored("Environment", "NewsCheck").toInt(), 0);
    EXPECT_FALSE(Stored("Timer", "MailTimer").isValid());
    EXPECT_EQ(view->Settings().MailTimer, 3);
    EXPECT_EQ(view->Form().FromControls().mailServer, "pop.example");
    EXPECT_EQ(view->Form().FromControls().newsCheckText, sjis("OFF"));
    EXPECT_EQ(view->Service().CurrentCredentials().user, "hanako");
    // The stop is posted: the dialog's flow ends first.
    EXPECT_TRUE(view->ServiceRunning());
    EXPECT_TRUE(SpinUntil([&] { return !view->ServiceRunning(); }));
    EXPECT_EQ(workers.log.newsAlive, 0);
}

TEST_F(SettingsFlowTest, EnvironmentWhileStoppedDoesNotStop) {
    Build();
    Answer([](ViewSettings& v) {
        v.NNTPPort = 1119;
        return true;
    });
    view->OnCommand(ID_ENVIRONMENT);
    EXPECT_FALSE(dialogs.shown.at(0).serviceRunning);
    EXPECT_EQ(Stored("Environment", "NNTPPort").toInt(), 1119);
    SpinFor(20);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(SettingsFlowTest, EnvironmentTlsIsWrittenAndReachesTheWorkersAtTheNextStart) {
    StartRunning();
    ASSERT_FALSE(workers.log.security.empty());
    EXPECT_EQ(workers.log.security.back(), "0 0  ");
    Answer([](ViewSettings& v) {
        v.POPSecurity = 2;
        v.NNTPSecurity = 1;
        v.TLSCAFile = sjis("/etc/社内CA.pem");
        return true;
    });
    view->OnCommand(ID_ENVIRONMENT);
    EXPECT_EQ(Stored("Environment", "POPSecurity").toInt(), 2);
    EXPECT_EQ(Stored("Environment", "NNTPSecurity").toInt(), 1);
    EXPECT_EQ(Stored("Environment", "TLSCAFile").toString(), QString::fromUtf8("/etc/社内CA.pem"));
    ASSERT_TRUE(SpinUntil([&] { return !view->ServiceRunning(); }));

    // The new log-in and checks are made with the new settings.
    const size_t calls = workers.log.security.size();
    login.answers.push_back(LoginInput{"taro", "pw", 0});
    view->OnCommand(ID_START_SERVICE);
    ASSERT_TRUE(view->ServiceRunning());
    ASSERT_GT(workers.log.security.size(), calls);
    const std::string ca = sjis("/etc/社内CA.pem");
    EXPECT_EQ(workers.log.security.back(), "2 1 " + ca + " " + ca);
    EXPECT_EQ(workers.log.newsAlive, 1);
}

TEST_F(SettingsFlowTest, TimerReachesTheRunningChecks) {
    StartRunning();
    ASSERT_EQ(workers.log.alive, 1);
    Answer([](ViewSettings& v) {
        v.NewsTimer = 15;
        v.MailTimer = 0;
        v.CheckDays = 30;
        return true;
    });
    view->OnCommand(ID_TIMER_SETTINGS);
    EXPECT_EQ(workers.log.newsIntervals, std::vector<unsigned>{15});
    EXPECT_EQ(workers.log.mailIntervals, std::vector<unsigned>{0});
    EXPECT_EQ(Stored("Timer", "MailTimer").toInt(), 0);
    EXPECT_EQ(Stored("Timer", "CheckDays").toInt(), 30);

    // Stopped: only the setting changes.
    view->OnCommand(ID_STOP_SERVICE);
    Answer([](ViewSettings& v) {
        v.MailTimer = 9;
        return true;
    });
    view->OnCommand(ID_TIMER_SETTINGS);
    EXPECT_EQ(workers.log.mailIntervals.size(), 1u);
    EXPECT_EQ(Stored("Timer", "MailTimer").toInt(), 9);
}

TEST_F(SettingsFlowTest, SoundAndPopupTakeEffectAtOnce) {
    Build();
    Answer([](ViewSettings& v) {
        v.Sound = 0;
        v.SoundFile = "/tmp/ring.wav";
        return true;
    });
    view->OnCommand(ID_SOUND_SETTINGS);
    EXPECT_EQ(values.sound, 0);
    EXPECT_EQ(values.soundFile, "/tmp/ring.wav");
    EXPECT_EQ(Stored("Sound", "SoundFile").toString(), QStringLiteral("/tmp/ring.wav"));
    Answer([](ViewSettings& v) {
        v.BePopup = 0;
        v.BeIcon = 0;
        return true;
    });
    view->OnCommand(ID_USER_INTERFACE);
    EXPECT_EQ(values.popup, 0);
    EXPECT_EQ(values.iconise, 0);
    EXPECT_EQ(Stored("UserInterface", "BePopup").toInt(), 0);
}

TEST_F(SettingsFlowTest, CommunicatorIsWrittenButTheIdentityWaitsForARestart) {
    Build();
    const std::string nickBefore = identity.nickname;
    ASSERT_FALSE(nickBefore.empty());
    Answer([](ViewSettings& v) {
        v.AliaseName = sjis("ゼゾ");
        v.ChatPort = 2426;
        v.Chating = 0;
        return true;
    });
    view->OnCommand(ID_COMMUNICATOR);
    EXPECT_EQ(Stored("PeerChat", "AliaseName").toString(), QString::fromUtf8("ゼゾ"));
    EXPECT_EQ(Stored("PeerChat", "ChatPort").toInt(), 2426);
    EXPECT_EQ(Stored("PeerChat", "Chating").toInt(), 0);
    EXPECT_EQ(std::string(identity.nickname), nickBefore);
}

TEST_F(SettingsFlowTest, BroadcastListReachesTheChatWhenThereIsOne) {
    int changes = 0;
    makePeerChat = [&changes](const PeerChatSetup&) {
        return std::make_unique<CountingChat>(changes);
    };
    Build();
    Answer([](ViewSettings& v) {
        v.BroadIPs = "12a.1.1.1~:_";
        return true;
    });
    view->OnCommand(ID_BROADCAST_ADDRESSES);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(Stored("PeerChat", "BroadIPs").toString(), QStringLiteral("12a.1.1.1~:_"));

    Reset();
    makePeerChat = nullptr;
    Build();
    Answer([](ViewSettings& v) {
        v.BroadIPs = "";
        return true;
    });
    view->OnCommand(ID_BROADCAST_ADDRESSES);
    EXPECT_EQ(Stored("PeerChat", "BroadIPs").toString(), QString());
}

TEST_F(SettingsFlowTest, PlacesRebuildTheComboWithNoSelection) {
    int changes = 0;
    makePeerChat = [&changes](const PeerChatSetup&) {
        return std::make_unique<CountingChat>(changes);
    };
    Build();
    view->OnCommand(ID_START_SERVICE);  // fills the combo at the first start
    view->ChoosePlace(sjis("会議室"));
    ASSERT_EQ(view->Whereabouts(), sjis("会議室"));
    Answer([](ViewSettings& v) {
        v.Places = sjis("食堂~:_会議室~:_");
        return true;
    });
    view->OnCommand(ID_PLACES);
    EXPECT_EQ(view->Form().PlaceItems(), (std::vector<std::string>{sjis("会議室"), sjis("食堂")}));
    EXPECT_EQ(view->Form().PlacesCombo()->currentIndex(), -1);
    EXPECT_EQ(Stored("WhereIs", "Places").toString(), QString::fromUtf8("食堂~:_会議室~:_"));

    Answer([](ViewSettings& v) {
        v.Places.clear();
        return true;
    });
    view->OnCommand(ID_PLACES);
    EXPECT_TRUE(view->Form().PlaceItems().empty());
    EXPECT_TRUE(Stored("WhereIs", "Places").isValid());
    EXPECT_EQ(Stored("WhereIs", "Places").toString(), QString());
}

TEST_F(SettingsFlowTest, LongAndDoubleByteValuesAreReadBackAsStored) {
    Build();
    const std::string server(1000, 's');
    // ソ and 表 end in the byte of a backslash, ミ in the byte of "~".
    const std::string path = sjis("/opt/ソフト/表示") + std::string(990, 'p');
    const std::string places = sjis("会議室~:_ミ:_~:_") + std::string(1000, 'x') + "~:_";
    Answer([&](ViewSettings& v) {
        v.POPServer = server;
        v.MailFile = path;
        return true;
    });
    view->OnCommand(ID_ENVIRONMENT);
    Answer([&](ViewSettings& v) {
        v.Places = places;
        return true;
    });
    view->OnCommand(ID_PLACES);

    SettingsStore fresh;
    ViewSettings back;
    back.Load(fresh);
    EXPECT_EQ(back.POPServer, server);
    EXPECT_EQ(back.MailFile, path);
    EXPECT_EQ(back.Places, places);
    EXPECT_EQ(view->Form().PlaceItems().size(), 3u);
}

}  // namespace
}  // namespace kestrel
