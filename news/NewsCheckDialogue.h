#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "news/NntpReplyReader.h"
#include "news/WatchList.h"
#include "platform/Timing.h"

namespace kestrel {

class LogSink;
class SocketChannel;
class WatchListFile;
struct NewsCheckState;

// One news check over an open channel: the greeting ("200" or "201"), MODE READER (its
// answer only logged), one GROUP per usable line of the watch list, the rewrite of the list
// when a group has grown, QUIT. Fills the state's entries and new names and moves its status
// to 2 once the greeting is accepted; the caller sets it back to 0. Every command and reply
// goes to the event log.
class NewsCheckDialogue {
public:
    NewsCheckDialogue(SocketChannel& channel, LogSink& log, NewsCheckState& state,
                      const Timing& timing);

    // The report for the frame: the new groups' names, each followed by one blank, in the
    // order found. Nothing when no group is new, after a failure or after a stop.
    std::optional<std::string> Run(const std::string& listPath);

    // A step between the greeting and the first command (the upgrade to TLS); false ends the
    // check there, with nothing sent.
    void SetBeforeFirstCommand(std::function<bool()> step) {
        m_beforeFirstCommand = std::move(step);
    }

private:
    enum class Step { Ok, Failed, Stopped };

    Step AskGroups(WatchListFile& list, std::size_t& newCount, WatchList::Line* lines,
                   std::size_t& lineCount);
    Step Fail(const std::string& text);
    Step Stop();
    bool Closing() const;
    void Log(std::string_view text);

    SocketChannel& m_channel;
    LogSink& m_log;
    NewsCheckState& m_state;
    Timing m_timing;
    NntpReplyReader m_reader;
    std::function<bool()> m_beforeFirstCommand;
};

}  // namespace kestrel
