#include "news/NewsCheckDialogue.h"

#include <algorithm>
#include <cstring>

#include "net/EventLog.h"
#include "net/LogText.h"
#include "net/SocketChannel.h"
#include "news/NewsCheckState.h"
#include "news/NntpReply.h"
#include "news/WatchList.h"
#include "news/WatchListFile.h"
#include "res/Cp932.h"
#include "res/Text.h"
#include "res/TextsNews.h"

namespace kestrel {

NewsCheckDialogue::NewsCheckDialogue(SocketChannel& channel, LogSink& log, NewsCheckState& state,
                                     const Timing& timing)
    : m_channel(channel), m_log(log), m_state(state), m_timing(timing) {}

void NewsCheckDialogue::Log(std::string_view text) {
    m_log.PostLog(text);
}

bool NewsCheckDialogue::Closing() const {
    return m_state.closing.load() != 0;
}

NewsCheckDialogue::Step NewsCheckDialogue::Fail(const std::string& text) {
    Log(text);
    Log(sjis(txt::kNntpSocketDelete));
    return Step::Failed;
}

NewsCheckDialogue::Step NewsCheckDialogue::Stop() {
    Log(sjis(txt::kNntpSocketDeleteAtProcessing));
    return Step::Stopped;
}

std::optional<std::string> NewsCheckDialogue::Run(const std::string& listPath) {
    if (Closing()) return std::nullopt;

    const auto greeting = m_reader.Read(m_channel, m_state.closing, m_timing);
    if (greeting.outcome == NntpReplyReader::Outcome::Stopped) {
        Stop();
        return std::nullopt;
    }
    if (greeting.outcome == NntpReplyReader::Outcome::Nothing) {
        Fail(FillNumbers(sjis(txt::kNntpErrorFormat), greeting.lastRead, greeting.lastError));
        return std::nullopt;
    }
    if (!nntp::IsReady(m_reader.Text())) {
        Fail(sjis(txt::kNntpNotReady));
        return std::nullopt;
    }
    if (m_beforeFirstCommand && !m_beforeFirstCommand()) {
        Log(sjis(txt::kNntpSocketDelete));
        return std::nullopt;
    }

    m_state.status = 2;

    // Whatever the answer, the groups are asked next: a server without reader mode has
    // already been serving readers.
    const std::string modeReader = txt::kNntpModeReader;
    Log(modeReader);
    if (m_channel.Send(modeReader.data(), static_cast<int>(modeReader.size())) == -1) {
        Fail(FillNumbers(sjis(txt::kNntpErrorFormat), -1, m_channel.GetLastError()));
        return std::nullopt;
    }
    const auto mode = m_reader.Read(m_channel, m_state.closing, m_timing);
    if (mode.outcome == NntpReplyReader::Outcome::Stopped) {
        Stop();
        return std::nullopt;
    }
    if (mode.outcome == NntpReplyReader::Outcome::Nothing) {
        Fail(FillNumbers(sjis(txt::kNntpErrorFormat), mode.lastRead, mode.lastError));
        return std::nullopt;
    }
    Log(m_reader.Text());

    const std::string cannotOpen =
        FillText(sjis(txt::kNewsListCannotOpenFormat), {utf8ToCp932(listPath)});
    // Held open, and so locked, until the rewrite is done: nothing that honours the lock can
    // change the list between the reading and the writing.
    WatchListFile list;
    if (!list.Open(listPath)) {
        Log(cannotOpen);
        return std::nullopt;
    }

    std::size_t newCount = 0;
    WatchList::Line lines[MAX_GROUPS];
    std::size_t lineCount = 0;
    if (AskGroups(list, newCount, lines, lineCount) != Step::Ok) return std::nullopt;
    if (Closing()) {
        Stop();
        return std::nullopt;
    }

    if (newCount > 0) {
        // Past the lines read, the file's bytes stay as they are.
        const std::size_t keepFrom =
            lineCount == 0 ? 0 : lines[lineCount - 1].offset + lines[lineCount - 1].size;
        const std::string head = WatchList::Rewritten(lines, m_state.entries, lineCount);
        if (!list.Rewrite(head, keepFrom)) {
            Log(cannotOpen);
            return std::nullopt;
        }
    }
    list.Close();
    if (Closing()) {
        Stop();
        return std::nullopt;
    }

    const std::string quit = txt::kNntpQuit;
    Log(quit);
    m_channel.Send(quit.data(), static_cast<int>(quit.size()));
    Log(sjis(txt::kNntpSocketDelete));

    if (newCount == 0) return std::nullopt;
    std::string report;
    for (std::size_t i = 0; i < newCount; ++i) {
        report.append(m_state.newNames[i],
                      strnlen(m_state.newNames[i], sizeof m_state.newNames[i] - 1));
        report.push_back(' ');
    }
    return report;
}

// lines: every line read, in file order, index for index with the entries; an entry left
// empty keeps its line's bytes at the rewrite.
NewsCheckDialogue::Step NewsCheckDialogue::AskGroups(WatchListFile& list, std::size_t& newCount,
                                                     WatchList::Line* lines,
                                                     std::size_t& lineCount) {
    for (auto& entry : m_state.entries) entry = GroupEntry{};
    std::memset(m_state.newNames, 0, sizeof m_state.newNames);

    std::size_t offset = 0;
    for (int index = 0; index < MAX_GROUPS; ++index) {
        if (Closing()) return Stop();
        const auto line = WatchList::ReadLine(list.Head(), offset);
        if (!line) break;
        lines[lineCount++] = *line;
        offset = line->offset + line->size;

        const auto group = WatchList::ParseLine(*line);
        std::string command;
        if (!group || !nntp::BuildGroupCommand(group->name, command)) continue;

        Log(command);
        if (m_channel.Send(command.data(), static_cast<int>(command.size())) == -1) {
            return Fail(FillNumbers(sjis(txt::kNntpErrorFormat), -1, m_channel.GetLastError()));
        }
        const auto reply = m_reader.Read(m_channel, m_state.closing, m_timing);
        if (reply.outcome == NntpReplyReader::Outcome::Stopped) return Stop();
        Log(net::LogSafeText(m_reader.Text()));
        if (m_reader.Text().size() < 4) return Step::Ok;

        const std::int32_t last = nntp::ParseGroupLast(m_reader.Text());
        GroupEntry& entry = m_state.entries[index];
        CopyField(entry.name, group->name);
        entry.last = group->last;
        if (last > group->last) {
            CopyField(m_state.newNames[newCount++], group->name);
            entry.last = last;
        }
    }
    return Step::Ok;
}

}  // namespace kestrel
