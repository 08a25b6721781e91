#pragma once

#include <QString>

#include <cstddef>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace kestrel {

class MessageBoxes;

// The chat lines of this run, offered for saving to a dated file when the program ends.
// The newest lines are kept in memory for the chat window; older ones wait in a spool file
// of their own (unnamed, gone with the program), so a long run or a flood of messages costs
// no memory and the save still holds every line that was filed.
class CChatHistory {
public:
    // Lines kept in memory; the chat window shows as many.
    static constexpr std::size_t kKeptLines = 1000;
    // Bytes the spool takes at most; lines beyond it are not saved.
    static constexpr std::size_t kMostSpooled = 64u << 20;

    CChatHistory();
    ~CChatHistory();
    CChatHistory(const CChatHistory&) = delete;
    CChatHistory& operator=(const CChatHistory&) = delete;

    // A CP932 line as the file gets it, and the line as the chat window shows it (null: the
    // CP932 line converted).
    void Add(std::string line, QString shown = QString());
    // A line in Unicode: the file gets it in CP932, each character CP932 lacks as "〓".
    void AddShown(const QString& shown);
    // The newest lines, at most kKeptLines, oldest first: as the file gets them, and as the
    // chat window shows them.
    const std::vector<std::string>& Lines() const { return m_lines; }
    const std::vector<QString>& Shown() const { return m_shown; }
    // How many characters of this run's lines the file holds as "〓".
    std::size_t Replaced() const { return m_replaced; }
    // Every line filed in this run, spooled ones included.
    std::size_t Filed() const { return m_filed; }
    bool Empty() const { return m_filed == 0; }
    void Clear();

    // "会話履歴" + "%y%m%d" + ".txt" for the given local time (CP932).
    static std::string FileNameFor(const std::tm& local);

    // A line as the file holds it: ended by CR LF, and a line break inside it (a received
    // message of several lines) written as CR LF and a tab, so that no part of a message can
    // pass for a line or a header of its own.
    static std::string FileText(const std::string& line);

    // Append a stamped header and every line to dir/fileName; creates the file (mode 0600)
    // when missing. The file is whole at every moment: it holds either the save or none of
    // it. False when it cannot be opened, locked or written; error then tells why (an errno
    // value, EWOULDBLOCK when another program holds the file).
    bool AppendTo(const std::string& dir, const std::tm& local, int* error = nullptr) const;

    // At start: remove the copies a save cut short by a kill left in dir. A single instance
    // runs, so none can belong to a save under way. Returns how many were removed.
    static std::size_t RemoveStaleCopies(const std::string& dir);

    // At exit: when there are lines, ask whether to save them; on Yes append them. A save
    // that fails says so, naming the file and the reason, and offers to try again.
    void OfferSave(MessageBoxes& boxes, const std::string& dir, const std::tm& local) const;

private:
    struct CloseFile {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };

    std::vector<std::string> m_lines;
    std::vector<QString> m_shown;
    std::size_t m_replaced = 0;
    std::unique_ptr<std::FILE, CloseFile> m_spool;
    std::size_t m_spooled = 0;  // bytes
    std::size_t m_filed = 0;
};

}  // namespace kestrel
