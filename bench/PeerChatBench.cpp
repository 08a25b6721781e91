// The peer chat under many members, in a network namespace of its own (needs root):
//   (a) entry answers from distinct loopback addresses 127.1.x.y to the chat port, once
//       1,000 back to back and once 10,000 spread over about a second: how many members the
//       table holds afterwards and how long it took;
//   (b) the member list window's rebuild with the 10,000 members;
//   (c) the real program's resident memory, idle and with 1,000 members (given its path).
// Figures only; nothing is asserted.
//
//   bench_peer_chat [path of kestrel for (c)]
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "chat/CChatHistory.h"
#include "chat/CPeerChat.h"
#include "chat_ui/CMemberListDlg.h"
#include "chat_ui/ChatWindowHost.h"
#include "identity/LocalIdentity.h"
#include "platform/MessageBoxes.h"
#include "res/Cp932.h"

namespace kestrel {
namespace {

using Clock = std::chrono::steady_clock;

class SilentBoxes final : public MessageBoxes {
public:
    BoxAnswer Show(const std::string& text, const std::string&, BoxIcon, BoxButtons) override {
        std::fprintf(stderr, "box: %s\n", cp932ToUtf8(text).c_str());
        return BoxAnswer::Ok;
    }
};

class NoHost final : public ChatWindowHost {
public:
    CChatHistory& ChatHistory() override { return m_history; }
    void ForgetChatDialog() override {}
    void ForgetMemberList() override {}
    CPeerChatDlg* ChatDialog() override { return nullptr; }
    void OpenChatDialog() override {}
    void StoreAutoUpdate(int) override {}

private:
    CChatHistory m_history;
};

// Takes the member events and drops them, as the view does with no window open.
class Sink final : public QObject {
protected:
    void customEvent(QEvent*) override {}
};

bool Run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

// A namespace with lo and a veth pair holding 192.0.2.1, the default route through it: the
// chat's broadcasts have somewhere to go and go nowhere.
bool OwnNetwork() {
    if (::unshare(CLONE_NEWNET) != 0) return false;
    return Run("ip link set lo up") && Run("ip link add v0 type veth peer name v1") &&
           Run("ip addr add 192.0.2.1/24 dev v0") && Run("ip link set v0 up") &&
           Run("ip link set v1 up") && Run("ip route add default dev v0");
}

std::string AddressOf(int i) {
    return "127.1." + std::to_string(i / 250) + "." + std::to_string(1 + i % 250);
}

// One answer from each of count addresses, spread over spreadMs (0: back to back).
void Answer(int first, int count, int spreadMs, std::atomic<int>& failed) {
    const auto start = Clock::now();
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(2425);
    ::inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    for (int i = first; i < first + count; ++i) {
        if (spreadMs > 0) {
            const auto due = start + std::chrono::microseconds(static_cast<long>(i - first) *
                                                               spreadMs * 1000 / count);
            std::this_thread::sleep_until(due);
        }
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in from{};
        from.sin_family = AF_INET;
        ::inet_pton(AF_INET, AddressOf(i).c_str(), &from.sin_addr);
        const std::string packet = "1:" + std::to_string(1000 + i) + ":user" + std::to_string(i) +
                                   ":HOST" + std::to_string(i) + ":3:member" + std::to_string(i) +
                                   std::string(1, '\0');
        if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&from), sizeof from) != 0 ||
            ::sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                     sizeof to) != static_cast<ssize_t>(packet.size()))
            ++failed;
        if (fd >= 0) ::close(fd);
    }
}

// Run the flood while the event loop serves the chat; returns when the table has stopped
// growing for half a second.
void Flood(CPeerChat& chat, const char* name, int first, int count, int spreadMs) {
    const std::size_t before = chat.Members().Size();
    std::atomic<int> failed{0};
    const auto start = Clock::now();
    std::thread sender(Answer, first, count, spreadMs, std::ref(failed));
    auto lastGrowth = Clock::now();
    std::size_t seen = before;
    while (true) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        const std::size_t now = chat.Members().Size();
        if (now != seen) {
            seen = now;
            lastGrowth = Clock::now();
        }
        if (seen - before >= static_cast<std::size_t>(count)) break;
        if (Clock::now() - lastGrowth > std::chrono::milliseconds(500) &&
            Clock::now() - start > std::chrono::milliseconds(spreadMs + 500))
            break;
    }
    const double ms = std::chrono::duration<double, std::milli>(lastGrowth - start).count();
    sender.join();
    std::printf(
        "(a) %-40s sent %5d (send failures %d), table gained %5zu, lost %5zu, "
        "last member after %.0f ms\n",
        name, count, failed.load(), seen - before,
        static_cast<std::size_t>(count) - (seen - before), ms);
}

void RebuildTime(CPeerChat& chat) {
    SilentBoxes boxes;
    NoHost host;
    QElapsedTimer timer;
    timer.start();
    CMemberListDlg list(host, &chat, boxes, 1);
    const qint64 fill = timer.elapsed();
    auto* autoUpdate = list.findChild<QCheckBox*>(QStringLiteral("autoUpdate1072"));
    autoUpdate->click();  // off
    timer.restart();
    autoUpdate->click();  // on again: the lists are rebuilt from the table
    const qint64 rebuild = timer.elapsed();
    std::printf("(b) member list with %zu members: initial fill %lld ms, rebuild %lld ms\n",
                chat.Members().Size(), static_cast<long long>(fill),
                static_cast<long long>(rebuild));
}

long RssKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

// The program itself, offscreen, in this namespace, with the peer chat on.
void ProgramMemory(const std::string& program) {
    const std::filesystem::path work =
        std::filesystem::temp_directory_path() / ("kestrel-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(work / "config" / "Harrowgate");
    std::filesystem::create_directories(work / "home");
    std::filesystem::create_directories(work / "tmp");
    std::ofstream(work / "config" / "Harrowgate" / "Kestrel.conf")
        << "[Environment]\nMailCheck=0\nNewsCheck=0\nIdentify=0\nPasswdCheck=0\n\n"
           "[PeerChat]\nChating=1\nAliaseName=bench\n";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("XDG_CONFIG_HOME", (work / "config").c_str(), 1);
        ::setenv("KESTREL_HOME", (work / "home").c_str(), 1);
        ::setenv("TMPDIR", (work / "tmp").c_str(), 1);
        ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const long idle = RssKb(pid);
    std::atomic<int> failed{0};
    Answer(20000, 1000, 0, failed);
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const long full = RssKb(pid);
    std::printf(
        "(c) the program's resident memory: idle %ld kB, with 1,000 members %ld kB "
        "(send failures %d)\n",
        idle, full, failed.load());
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    std::filesystem::remove_all(work);
}

}  // namespace
}  // namespace kestrel

int main(int argc, char** argv) {
    using namespace kestrel;
    if (::geteuid() != 0 || !OwnNetwork()) {
        std::fprintf(stderr, "needs root and ip: the bench makes a network namespace\n");
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);

    LocalIdentity identity;
    CopyField(identity.nickname, "bench");
    CopyField(identity.userName, "bench");
    CopyField(identity.hostName, "BENCH");
    SilentBoxes boxes;
    Sink view;
    PeerChatContext context;
    context.view = &view;
    context.boxes = &boxes;
    context.writeLog = [](std::string_view) {};
    auto chat = std::make_unique<CPeerChat>(context, identity, ChatSettings{}, ProgramTiming());
    if (!chat->Start()) return 1;
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    Flood(*chat, "1,000 back to back", 0, 1000, 0);
    chat->Refresh();
    settle.restart();
    while (settle.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    Flood(*chat, "10,000 over about 1 s", 0, 10000, 1000);
    RebuildTime(*chat);
    chat.reset();

    if (argc > 1) ProgramMemory(argv[1]);
    return 0;
}
