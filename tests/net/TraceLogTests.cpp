#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

#include "net/TraceLog.h"

namespace kestrel {
namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

class TraceLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::remove(EventLogPath().c_str());
        std::remove(SocketLogPath().c_str());
        std::remove(m_path.c_str());
    }
    void TearDown() override { SetTraceEnabled(false); }
    const std::string m_path = EventLogPath() + ".test";
};

// 2024-01-02 03:04:05 UTC, shown in UTC.
class ShapeLogLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) m_oldTz = tz;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (m_oldTz.empty())
            unsetenv("TZ");
        else
            setenv("TZ", m_oldTz.c_str(), 1);
        tzset();
    }
    static constexpr std::time_t kWhen = 1704164645;
    std::string m_oldTz;
};

TEST_F(ShapeLogLineTest, ShapesTheLine) {
    const std::string stamp = "01/02 03:04:05  ";
    const std::string x256(256, 'x');
    struct Case {
        std::string message;
        std::string line;
    } const cases[] = {
        {"", stamp + "--nothing--\r\n"},
        {"Popcheck Start!!", stamp + "Popcheck Start!!\r\n"},
        {std::string(300, 'x'), stamp + x256 + "\r\n"},
        {"pop3 socket connecting\r\n", stamp + "pop3 socket connecting\r\n"},
        {"a\r\n\r\nb", stamp + "a\r\n"},
        {"+OK\r\nline two\nthree", stamp + "+OK\r\nline two\nthree\r\n"},
        // The cut at 256 comes first: an empty line beyond it no longer counts.
        {x256 + "\r\n\r\nz", stamp + x256 + "\r\n"},
        // The cut may split a line end; the line still ends with one.
        {std::string(255, 'x') + "\r\n\r\n", stamp + std::string(255, 'x') + "\r\r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(ShapeLogLine(c.message, kWhen), c.line) << c.message;
}

TEST_F(TraceLogTest, AppendsLinesToAPrivateFile) {
    ASSERT_TRUE(AppendLogLine(m_path, "first"));
    ASSERT_TRUE(AppendLogLine(m_path, ""));
    const std::string text = ReadAll(m_path);
    ASSERT_EQ(text.size(), 16 + 5 + 2 + 16 + 11 + 2) << text;
    EXPECT_EQ(text.substr(16, 7), "first\r\n");
    EXPECT_EQ(text.substr(23 + 16), "--nothing--\r\n");

    struct stat info {};
    ASSERT_EQ(::stat(m_path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(TraceLogTest, ALogAboutToPassItsLimitMovesToOneOldFile) {
    const std::string old = m_path + kOldLogSuffix;
    std::remove(old.c_str());
    for (const char filler : {'a', 'b'}) {
        std::ofstream(m_path, std::ios::binary) << std::string(kLogRotateBytes - 10, filler);
        ASSERT_TRUE(AppendLogLine(m_path, "next"));
        EXPECT_EQ(ReadAll(old), std::string(kLogRotateBytes - 10, filler));  // the older one goes
        const std::string text = ReadAll(m_path);
        EXPECT_EQ(text.size(), 16u + 6);
        EXPECT_EQ(text.substr(16), "next\r\n");
    }
    // A line that still fits stays in the file.
    std::ofstream(m_path, std::ios::binary) << std::string(kLogRotateBytes - 22, 'c');
    ASSERT_TRUE(AppendLogLine(m_path, "next"));
    EXPECT_EQ(ReadAll(m_path).size(), static_cast<std::size_t>(kLogRotateBytes));

    // Written on and on, the two files stay within the limit and lose only what is older.
    for (int i = 0; i < 10000; ++i) ASSERT_TRUE(AppendLogLine(m_path, std::string(250, 'x')));
    struct stat now {};
    struct stat before {};
    ASSERT_EQ(::stat(m_path.c_str(), &now), 0);
    ASSERT_EQ(::stat(old.c_str(), &before), 0);
    EXPECT_LE(now.st_size, kLogRotateBytes);
    EXPECT_LE(before.st_size, kLogRotateBytes);
    EXPECT_GT(before.st_size, kLogRotateBytes - 300);
    std::remove(old.c_str());
}

TEST_F(TraceLogTest, UnwritablePathFailsQuietly) {
    EXPECT_FALSE(AppendLogLine("/nonexistent-kestrel-dir/x.log", "line"));
    EXPECT_FALSE(AppendLogLine("", "line"));
}

TEST_F(TraceLogTest, TracingOffTouchesNoFile) {
    SetTraceEnabled(false);
    WriteTrace("T [TCP Socket Close] socket = 00000000");
    OnWriteLog("Popcheck Start!!");
    EXPECT_FALSE(Exists(SocketLogPath()));
    EXPECT_FALSE(Exists(EventLogPath()));

    SetTraceEnabled(true);
    WriteTrace("socket line");
    OnWriteLog("event line");
    EXPECT_NE(ReadAll(SocketLogPath()).find("  socket line\r\n"), std::string::npos);
    EXPECT_NE(ReadAll(EventLogPath()).find("  event line\r\n"), std::string::npos);
    EXPECT_EQ(ReadAll(SocketLogPath()).find("event line"), std::string::npos);
}

TEST_F(TraceLogTest, ConcurrentWritersLoseNoLine) {
    constexpr int kLines = 500;
    auto writer = [this](char tag) {
        for (int i = 0; i < kLines; ++i) {
            char message[32];
            std::snprintf(message, sizeof message, "%c%03d-payload-payload", tag, i);
            AppendLogLine(m_path, message);
        }
    };
    std::thread a(writer, 'A');
    std::thread b(writer, 'B');
    a.join();
    b.join();

    std::istringstream lines(ReadAll(m_path));
    std::set<std::string> seen;
    int count = 0;
    for (std::string line; std::getline(lines, line);) {
        ++count;
        ASSERT_EQ(line.size(), 16u + 20u + 1u) << "torn line: " << line;
        ASSERT_EQ(line.back(), '\r');
        seen.insert(line.substr(16, 4));
    }
    EXPECT_EQ(count, 2 * kLines);
    EXPECT_EQ(seen.size(), 2u * kLines);
}

}  // namespace
}  // namespace kestrel
