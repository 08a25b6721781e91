// The peer chat against Debian's iptux as a black-box peer: iptux in a namespace of its own
// across a veth pair, under its own X server and session bus. Fails where iptux, Xvfb,
// dbus-run-session, xdotool, xmodmap or the network namespaces are missing: CI installs them
// and runs as root.
//
// iptux logs every packet it sends and receives, a moment after the fact; every look at its
// log waits for what it expects, up to a deadline, and shows the log when it never comes.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string_view>
#include <vector>

#include "chat/PeerText.h"
#include "tests/chat/PeerChatTestKit.h"

namespace kestrel {
namespace {

using test::PrivateNetwork;
using test::SpinFor;
using test::SpinUntil;

// How long iptux may take to come up: its first run under a fresh HOME (the accessibility bus
// and the settings service are activated on its new session bus) is slow on a loaded machine.
constexpr int kIptuxStartMs = 60000;
// How long a packet may take to show in iptux's log once it has been sent or answered.
constexpr int kLogMs = 10000;

class IptuxTest : public test::PeerChatTest {
protected:
    // iptux's nickname and the encoding it prefers (its preference_encode).
    IptuxTest(const char* nickname = "Iptux", const char* encoding = "cp932")
        : m_nickname(nickname), m_encoding(encoding) {}

    void SetUp() override {
        for (const char* tool : {"/usr/bin/iptux", "/usr/bin/Xvfb", "/usr/bin/dbus-run-session",
                                 "/usr/bin/xdotool", "/usr/bin/xmodmap"})
            ASSERT_TRUE(QFile::exists(QString::fromLatin1(tool)))
                << tool << " is not installed (scripts/setup.sh installs it)";
        ASSERT_TRUE(network.Ok()) << PrivateNetwork::kWhy;
        CopyField(identity.nickname, "Taro");
        CopyField(identity.userName, "taro");
        CopyField(identity.hostName, "PC01");
        timing = Timing{}.Scaled(1.0);
        timing.exitPauseMs = 200;
        ASSERT_TRUE(home.isValid());
        QDir(home.path()).mkpath(QStringLiteral(".iptux"));
        std::ofstream(home.filePath(QStringLiteral(".iptux/config.json")).toStdString())
            << R"({"nick_name": ")" << m_nickname
            << R"(", "belong_group": "test", "candidacy_encode": "cp932",)"
            << R"( "preference_encode": ")" << m_encoding << R"(", "open_chat": true})";
        const QString log = home.filePath(QStringLiteral("iptux.log"));
        // Everything iptux, its session bus and the services activated there keep (settings,
        // caches, the accessibility bus's socket) goes below this run's HOME: no state from
        // an earlier run, nothing shared with another. Xvfb picks a free display itself and
        // names it once it accepts clients, so iptux never starts before its screen nor on a
        // display somebody else holds.
        const QString script = QStringLiteral(
                                   "export HOME=%1 XDG_CONFIG_HOME=%1/.config "
                                   "XDG_CACHE_HOME=%1/.cache XDG_DATA_HOME=%1/.local/share "
                                   "XDG_STATE_HOME=%1/.local/state XDG_RUNTIME_DIR=%1/runtime; "
                                   "unset DBUS_SESSION_BUS_ADDRESS DISPLAY; "
                                   "mkdir -m 700 \"$XDG_RUNTIME_DIR\"; "
                                   "Xvfb -displayfd 3 -nolisten tcp -noreset 3>%1/display "
                                   ">%1/xvfb.log 2>&1 & X=$!; "
                                   "until [ -s %1/display ]; do "
                                   "kill -0 $X 2>/dev/null || exit 3; sleep 0.05; done; "
                                   "DISPLAY=:$(cat %1/display) dbus-run-session -- "
                                   "iptux -l DEBUG >%2 2>&1; kill $X")
                                   .arg(home.path(), log);
        iptux.setProcessChannelMode(QProcess::ForwardedChannels);
        iptux.start(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("exec"),
                                           QString::fromStdString(network.PeerName()),
                                           QStringLiteral("sh"), QStringLiteral("-c"), script});
        ASSERT_TRUE(iptux.waitForStarted());
        logPath = log.toStdString();
    }
    void TearDown() override {
        if (iptux.state() != QProcess::NotRunning) {
            // The process group is the shell's: iptux, its bus and the X server end with it.
            QProcess::execute(
                QStringLiteral("sh"),
                {QStringLiteral("-c"), QStringLiteral("kill $(ip netns pids %1) 2>/dev/null")
                                           .arg(QString::fromStdString(network.PeerName()))});
            iptux.waitForFinished(5000);
        }
    }
    std::string Log() const {
        std::ifstream in(logPath);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    // Waits (serving the chat meanwhile) until iptux's log holds one of the texts; the log as
    // last read goes to seen.
    bool LogShows(std::initializer_list<std::string_view> texts, std::string& seen,
                  int timeoutMs = kLogMs) {
        return SpinUntil(
            [&] {
                seen = Log();
                for (std::string_view text : texts)
                    if (seen.find(text) != std::string::npos) return true;
                return false;
            },
            timeoutMs);
    }
    // Runs an X tool (xdotool, xmodmap) on iptux's screen, in iptux's namespace; its output
    // goes to out.
    bool OnIptuxScreen(const char* tool, const QStringList& args, QString* out = nullptr) {
        QFile display(home.filePath(QStringLiteral("display")));
        if (!display.open(QIODevice::ReadOnly)) return false;
        QProcess run;
        run.start(QStringLiteral("ip"),
                  QStringList{QStringLiteral("netns"), QStringLiteral("exec"),
                              QString::fromStdString(network.PeerName()), QStringLiteral("env"),
                              QStringLiteral("DISPLAY=:") +
                                  QString::fromLatin1(display.readAll().trimmed()),
                              QString::fromLatin1(tool)} +
                      args);
        if (!run.waitForFinished(10000)) return false;
        if (out) *out = QString::fromUtf8(run.readAllStandardOutput());
        return run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0;
    }
    bool Xdo(const QStringList& args, QString* out = nullptr) {
        return OnIptuxScreen("xdotool", args, out);
    }
    // Gives every character of the text beyond ASCII a key of its own on iptux's screen.
    // xdotool types a character the keyboard lacks by binding it to a spare key for the
    // moment of its press; a client that reads the keyboard late (iptux on a loaded machine)
    // then finds another character there or none. Bound once beforehand, every press stands.
    // The keys are the ones the screen leaves spare; each call binds them anew, so the text
    // before must have been read.
    bool BindKeysFor(const QString& text) {
        if (m_spareKeys.empty()) {
            QString table;
            if (!OnIptuxScreen("xmodmap", {QStringLiteral("-pke")}, &table)) return false;
            for (const QString& line : table.split(QLatin1Char('\n'))) {
                const QStringList parts = line.simplified().split(QLatin1Char(' '));
                if (parts.size() == 3 && parts[0] == QStringLiteral("keycode") &&
                    parts[2] == QStringLiteral("="))
                    m_spareKeys.push_back(parts[1].toInt());
            }
        }
        std::vector<int> spare = m_spareKeys;
        QStringList bindings;
        QList<char32_t> bound;
        for (const char32_t c : text.toUcs4()) {
            if (c < 0x80 || bound.contains(c)) continue;
            if (spare.empty()) return false;
            bindings << QStringLiteral("-e")
                     << QStringLiteral("keycode %1 = U%2")
                            .arg(spare.back())
                            .arg(QString::number(static_cast<unsigned>(c), 16).toUpper());
            spare.pop_back();
            bound << c;
        }
        return bindings.isEmpty() || OnIptuxScreen("xmodmap", bindings);
    }
    // iptux's talk window with us, which it opens by itself (open_chat) once we sent it a
    // message; 0 where it never shows.
    qulonglong TalkWindow() {
        qulonglong window = 0;
        SpinUntil(
            [&] {
                QString found;
                Xdo({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                     QStringLiteral("--name"),
                     QStringLiteral("^Talk with .* IP:%1$")
                         .arg(QString::fromLatin1(PrivateNetwork::kProgramAddress))},
                    &found);
                window = found.split(QLatin1Char('\n'), Qt::SkipEmptyParts).value(0).toULongLong();
                return window != 0;
            },
            kLogMs);
        return window;
    }
    // Types the text into the talk window's input pane and sends it (Ctrl+Return).
    bool TypeInTalk(qulonglong window, const QString& text) {
        const QString id = QString::number(window);
        QString shell;
        if (!BindKeysFor(text) ||
            !Xdo({QStringLiteral("windowfocus"), QStringLiteral("--sync"), id}) ||
            !Xdo({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id}, &shell))
            return false;
        int height = 0;
        for (const QString& line : shell.split(QLatin1Char('\n')))
            if (line.startsWith(QStringLiteral("HEIGHT="))) height = line.mid(7).toInt();
        // The input pane lies above the Close and Send buttons.
        return height > 0 &&
               Xdo({QStringLiteral("mousemove"), QStringLiteral("--window"), id,
                    QStringLiteral("150"), QString::number(height - 100), QStringLiteral("click"),
                    QStringLiteral("1")}) &&
               Xdo({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"),
                    text}) &&
               Xdo({QStringLiteral("key"), QStringLiteral("ctrl+Return")});
    }

    // What iptux and its X server said when it is not there.
    std::string Diagnostics() const {
        std::ifstream in(home.filePath(QStringLiteral("xvfb.log")).toStdString());
        std::stringstream xvfb;
        xvfb << in.rdbuf();
        return "iptux " + std::string(iptux.state() == QProcess::NotRunning ? "ended" : "runs") +
               "; its log:\n" + Log() + "\nXvfb's log:\n" + xvfb.str();
    }

    // The chat started, with iptux listed as a member (null where it never came up).
    std::unique_ptr<CPeerChat> ChatWithIptux(bool utf8) {
        std::unique_ptr<CPeerChat> chat;
        // iptux needs a while to come up and bind its port; until then our entry goes unheard,
        // and a refresh asks again.
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < kIptuxStartMs && iptux.state() != QProcess::NotRunning) {
            SpinFor(500);
            if (!chat) {
                ChatSettings settings;
                settings.chatPort = 2425;
                settings.utf8 = utf8;
                chat = std::make_unique<CPeerChat>(Context(), identity, settings, timing);
                if (!chat->Start()) return nullptr;
            } else {
                chat->Refresh();
            }
            if (SpinUntil([&] { return chat->Members().Find(PrivateNetwork::kPeerAddress); }, 1000))
                break;
        }
        return chat;
    }

    QTemporaryDir home;
    QProcess iptux;
    std::string logPath;
    const char* m_nickname;
    const char* m_encoding;
    std::vector<int> m_spareKeys;
};

TEST_F(IptuxTest, ListsIptuxAndExchangesAcknowledgedMessages) {
    std::unique_ptr<CPeerChat> chat;
    // iptux needs a while to come up and bind its port; until then our entry goes unheard,
    // and a refresh asks again.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kIptuxStartMs && iptux.state() != QProcess::NotRunning) {
        SpinFor(500);
        if (!chat) {
            chat = Make();
            ASSERT_TRUE(chat->Start());
        } else {
            chat->Refresh();
        }
        if (SpinUntil([&] { return chat->Members().Find(PrivateNetwork::kPeerAddress); }, 1000))
            break;
    }
    ASSERT_TRUE(chat) << Diagnostics();
    const MemberRecord* member = chat->Members().Find(PrivateNetwork::kPeerAddress);
    ASSERT_NE(member, nullptr) << Diagnostics();
    EXPECT_EQ(FieldText(member->nickname), "Iptux");
    EXPECT_EQ(member->port, 2425);
    // iptux enters away (option 0x100) and answers no version query.
    EXPECT_EQ(member->present, 0);
    EXPECT_EQ(FieldText(member->whereabouts), "");
    // iptux heard us: our entry, or our answer to its own entry when it came up after ours
    // (its log shows every packet).
    std::string heard;
    EXPECT_TRUE(LogShows({":taro:PC01:1:Taro", ":taro:PC01:3:Taro"}, heard)) << heard;

    SocketEvent target;
    CopyField(target.peerAddress, PrivateNetwork::kPeerAddress);
    target.peerPort = 2425;
    PostMessage(chat.get(), WM_CHAT_SEND, 0, 0, own(target), own(MakeChatText("hello iptux")));
    // iptux may answer within the very turn that sends, so the start of the wait may pass unseen;
    // what shows the message went out is iptux's log, and an acknowledgement ends the wait with no
    // box (a lost one would keep it going through the resends and end in a box).
    std::string got;
    ASSERT_TRUE(LogShows({"hello iptux"}, got)) << got;
    ASSERT_TRUE(SpinUntil([&] { return !chat->AwaitingAcknowledgement(); }, 2900))
        << "no acknowledgement";
    EXPECT_TRUE(boxes.boxes.empty());

    // Our exit: iptux hears it and drops us.
    chat.reset();
    std::string left;
    EXPECT_TRUE(LogShows({":2:Taro"}, left)) << left;
}

// Bytes as iptux's log shows a packet it received: printable ASCII as it is, every other byte
// as "\xNN".
std::string AsIptuxLogs(const std::string& bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F)
            out += c;
        else
            out += net::Format("\\x%02x", b);
    }
    return out;
}

// iptux preferring UTF-8 with a nickname CP932 cannot hold, and preferring CP932 with one it
// can: its name arrives as written either way; our nickname and a message with Chinese, an
// emoji and Japanese reach it, in CP932 since iptux does not announce UTF-8; and what is typed
// in iptux's talk window reaches us as it was typed.
class IptuxUtf8Test : public IptuxTest, public ::testing::WithParamInterface<const char*> {
protected:
    IptuxUtf8Test() : IptuxTest(Utf8() ? "张三😀イプタックス" : "三郎イプタックス", GetParam()) {}
    static bool Utf8() { return std::string_view(GetParam()) == "utf-8"; }
};

TEST_P(IptuxUtf8Test, NamesAndMessagesBothWays) {
    CopyField(identity.nickname, utf8ToCp932("太郎"));
    std::unique_ptr<CPeerChat> chat = ChatWithIptux(true);
    ASSERT_TRUE(chat) << Diagnostics();
    const MemberRecord* member = chat->Members().Find(PrivateNetwork::kPeerAddress);
    ASSERT_NE(member, nullptr) << Diagnostics();
    EXPECT_EQ(NicknameText(*member).toStdString(), m_nickname) << Log();
    EXPECT_FALSE(member->utf8);
    // iptux heard our entry or our answer, the nickname in CP932 before the UTF-8 line.
    std::string heard;
    EXPECT_TRUE(LogShows({AsIptuxLogs(":taro:PC01:16777217:" + utf8ToCp932("太郎")),
                          AsIptuxLogs(":taro:PC01:16777219:" + utf8ToCp932("太郎"))},
                         heard))
        << heard;

    SocketEvent target;
    CopyField(target.peerAddress, PrivateNetwork::kPeerAddress);
    target.peerPort = 2425;
    ASSERT_TRUE(chat->SendText(target, QString::fromUtf8("你好😀 こんにちは")));
    std::string got;
    ASSERT_TRUE(LogShows({AsIptuxLogs(":taro:PC01:288:" + utf8ToCp932("〓好〓 こんにちは"))}, got))
        << got;
    ASSERT_TRUE(SpinUntil([&] { return !chat->AwaitingAcknowledgement(); }, 2900))
        << "no acknowledgement";
    EXPECT_TRUE(boxes.boxes.empty());

    // Typed in iptux's talk window: iptux sends what CP932 holds in CP932 when it prefers
    // CP932, and everything else as raw UTF-8 with no option; each arrives as it was typed and
    // is acknowledged.
    const qulonglong talk = TalkWindow();
    ASSERT_NE(talk, 0u) << "iptux opened no talk window\n" << Diagnostics();
    std::vector<std::string> typed = {"张三😀 こんにちは"};
    if (!Utf8()) typed.insert(typed.begin(), "三郎です こんにちは");
    for (std::size_t i = 0; i < typed.size(); ++i) {
        const std::string& text = typed[i];
        SCOPED_TRACE(text);
        view.received.clear();
        ASSERT_TRUE(TypeInTalk(talk, QString::fromStdString(text)));
        ASSERT_TRUE(SpinUntil([&] { return !view.Of(WM_PEER_MESSAGE).empty(); }, kLogMs)) << Log();
        const auto in = view.Of(WM_PEER_MESSAGE).front();
        ASSERT_TRUE(in.messageText);
        const std::string shown = in.messageUnicode.isNull() ? cp932ToUtf8(*in.messageText)
                                                             : in.messageUnicode.toStdString();
        EXPECT_EQ(shown, text);
        // Filed in CP932, with a mark for each character it lacks.
        EXPECT_EQ(*in.messageText, utf8ToCp932Marked(text));
        // iptux hears an acknowledgement for each (only we send 33 from taro:PC01).
        std::string acknowledged;
        EXPECT_TRUE(SpinUntil(
            [&] {
                acknowledged = Log();
                std::size_t found = 0;
                for (std::size_t at = acknowledged.find(":taro:PC01:33:"); at != std::string::npos;
                     at = acknowledged.find(":taro:PC01:33:", at + 1))
                    ++found;
                return found >= i + 1;
            },
            kLogMs))
            << acknowledged;
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, IptuxUtf8Test, ::testing::Values("utf-8", "cp932"),
                         [](const auto& info) {
                             return std::string(info.param) == "utf-8" ? "Utf8" : "Cp932";
                         });

}  // namespace
}  // namespace kestrel
