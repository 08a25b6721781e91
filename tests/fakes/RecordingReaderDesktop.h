#pragma once

#include <set>
#include <string>
#include <vector>

#include "readers/QtReaderLauncherDesktop.h"

namespace kestrel::test {

// Desktop operations that record what reader launching asked for. Programs are really
// started (so a fake reader named on the command line comes up) unless startPrograms is off;
// the windows that "exist" are scripted.
class RecordingReaderDesktop final : public ReaderLauncherDesktop {
public:
    bool StartProgram(const std::string& commandLine) override {
        started.push_back(commandLine);
        return startPrograms ? m_real.StartProgram(commandLine) : true;
    }
    bool TopLevelWindowExists(const std::string& windowClass) override {
        asked.push_back(windowClass);
        return windows.count(windowClass) != 0;
    }
    void Pause(int ms) override {
        pauses.push_back(ms);
        m_real.Pause(ms);
    }

    // Records "<scheme> <scheme>... | <url>"; a handler exists when handlerStarts says so.
    bool StartSchemeHandler(const std::vector<std::string>& schemes,
                            const std::string& url) override {
        std::string line;
        for (const std::string& scheme : schemes) line += scheme + ' ';
        handlers.push_back(line + "| " + url);
        return handlerStarts;
    }

    bool startPrograms = true;
    bool handlerStarts = true;
    std::set<std::string> windows;
    std::vector<std::string> started;
    std::vector<std::string> asked;
    std::vector<int> pauses;
    std::vector<std::string> handlers;

private:
    QtReaderLauncherDesktop m_real;
};

}  // namespace kestrel::test
