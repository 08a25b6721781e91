#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

namespace kestrel {

class MessageBoxes;

// The chat lines of this run, offered for saving to a dated file when the program ends.
class CChatHistory {
public:
    void Add(std::string line) { m_lines.push_back(std::move(line)); }
    const std::vector<std::string>& Lines() const { return m_lines; }
    bool Empty() const { return m_lines.empty(); }
    void Clear() { m_lines.clear(); }

    // "会話履歴" + "%y%m%d" + ".txt" for the given local time (CP932).
    static std::string FileNameFor(const std::tm& local);

    // Append a stamped header and every line, each ended by CR LF, to dir/fileName; creates
    // the file (mode 0600) when missing. The file is whole at every moment: it holds either
    // the save or none of it. False when it cannot be opened or written.
    bool AppendTo(const std::string& dir, const std::tm& local) const;

    // At start: remove the copies a save cut short by a kill left in dir. A single instance
    // runs, so none can belong to a save under way. Returns how many were removed.
    static std::size_t RemoveStaleCopies(const std::string& dir);

    // At exit: when there are lines, ask whether to save them; on Yes append them.
    void OfferSave(MessageBoxes& boxes, const std::string& dir, const std::tm& local) const;

private:
    std::vector<std::string> m_lines;
};

}  // namespace kestrel
