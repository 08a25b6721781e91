// SIGKILL at random points of many saves: the watch-list rewrite, the settings store, the
// mail already read and the chat history. After each kill the file is whole (one of the contents a
// save writes, never a mix or a cut), and after the next start no temporary copy is left beside it.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "chat/CChatHistory.h"
#include "mail/SeenMailStore.h"
#include "news/WatchListFile.h"
#include "platform/ProgramDir.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "tests/app/KillLoopFiles.h"

namespace kestrel {
namespace {

constexpr int kRounds = 200;

std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Names in dir other than the ones given.
std::vector<std::string> Others(const std::string& dir, const std::vector<std::string>& known,
                                const std::string& containing) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (name.find(containing) == std::string::npos) continue;
        if (std::find(known.begin(), known.end(), name) == known.end()) names.push_back(name);
    }
    return names;
}

class KillLoopTest : public ::testing::Test {
protected:
    // Start the writer, wait for its first save, let it run for a random moment, kill it.
    void SaveAndKill(const char* kind) {
        int out[2];
        ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::execl(KILL_LOOP_WRITER, KILL_LOOP_WRITER, kind, static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        pollfd ready{out[0], POLLIN, 0};
        const bool started = ::poll(&ready, 1, 20000) == 1;
        std::this_thread::sleep_for(std::chrono::microseconds(m_delay(m_random)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ::close(out[0]);
        ASSERT_TRUE(started) << kind << " never finished its first save";
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << kind << " ended by itself, status " << status;
    }

    std::mt19937 m_random{20261210};
    std::uniform_int_distribution<int> m_delay{0, 4000};
};

TEST_F(KillLoopTest, TheWatchListIsAlwaysWholeAndItsCopiesGoAtTheNextStart) {
    const std::string path = ProgramFile("newschck.lst");
    const std::string tail = killloop::WatchListTail();
    const std::string first = killloop::WatchListHead(0) + tail;
    const std::string second = killloop::WatchListHead(1) + tail;
    WriteFile(path, first);
    for (int round = 0; round < kRounds; ++round) {
        SaveAndKill("watch");
        ASSERT_FALSE(HasFatalFailure());
        const auto now = ReadFile(path);
        ASSERT_TRUE(now == first || now == second) << "round " << round;
        WatchListFile::RemoveStaleCopies(path);
        ASSERT_EQ(Others(ProgramDir(), {"newschck.lst"}, "newschck"), std::vector<std::string>{})
            << "round " << round;
    }
    ::unlink(path.c_str());
}

TEST_F(KillLoopTest, TheSettingsAreAlwaysWholeAndTheirCopiesGoAtTheNextStart) {
    const std::string file = SettingsStore().FilePath();
    const std::string dir = std::filesystem::path(file).parent_path().string();
    const std::string name = std::filesystem::path(file).filename().string();
    for (int round = 0; round < kRounds; ++round) {
        SaveAndKill("settings");
        ASSERT_FALSE(HasFatalFailure());
        SettingsStore::RemoveStaleCopies();
        ASSERT_EQ(Others(dir, {name}, name), std::vector<std::string>{}) << "round " << round;
        SettingsStore store;
        const std::string places = store.GetString(key::Places);
        ASSERT_TRUE(places == killloop::SettingValue(0) || places == killloop::SettingValue(1))
            << "round " << round;
        ASSERT_EQ(store.GetString(key::BroadIPs), places) << "round " << round;
    }
}

TEST_F(KillLoopTest, TheMailAlreadyReadIsAlwaysWholeAndItsCopiesGoAtTheNextStart) {
    const std::string path = ProgramFile(SeenMailStore::kFileName);
    ::unlink(path.c_str());
    // Fewer rounds: each save writes a listing of its own, and the kills that land in the
    // middle of one are what counts.
    for (int round = 0; round < kRounds / 4; ++round) {
        SaveAndKill("seenmail");
        ASSERT_FALSE(HasFatalFailure());
        // Whole: the book reads back undamaged.
        ASSERT_FALSE(SeenMailStore(path).Snapshot().Damaged()) << "round " << round;
        SeenMailStore::RemoveStaleCopies(path);
        ASSERT_EQ(Others(ProgramDir(), {SeenMailStore::kFileName}, SeenMailStore::kFileName),
                  std::vector<std::string>{})
            << "round " << round;
    }
    ::unlink(path.c_str());
}

TEST_F(KillLoopTest, TheChatHistoryHoldsOnlyWholeSavesAndNoCopy) {
    const std::tm when = killloop::HistoryTime();
    const std::string path = ProgramFile(CChatHistory::FileNameFor(when));
    CChatHistory history;
    for (const std::string& line : killloop::HistoryLines()) history.Add(line);
    ASSERT_TRUE(history.AppendTo(ProgramDir(), when));
    const std::string block = *ReadFile(path);
    const std::string name = std::filesystem::path(path).filename().string();
    for (int round = 0; round < kRounds; ++round) {
        ::unlink(path.c_str());
        SaveAndKill("history");
        ASSERT_FALSE(HasFatalFailure());
        const std::string now = ReadFile(path).value_or("");
        ASSERT_FALSE(now.empty()) << "round " << round;
        ASSERT_EQ(now.size() % block.size(), 0u) << "round " << round;
        for (std::size_t at = 0; at < now.size(); at += block.size())
            ASSERT_EQ(now.compare(at, block.size(), block), 0) << "round " << round;
        CChatHistory::RemoveStaleCopies(ProgramDir());
        ASSERT_EQ(Others(ProgramDir(), {name}, name.substr(0, name.size() - 4)),
                  std::vector<std::string>{})
            << "round " << round;
    }
    ::unlink(path.c_str());
}

}  // namespace
}  // namespace kestrel
