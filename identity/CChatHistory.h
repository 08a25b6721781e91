#pragma once

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
    // the file (mode 0600) when missing. False when it cannot be opened.
    bool AppendTo(const std::string& dir, const std::tm& local) const;

    // At exit: when there are lines, ask whether to save them; on Yes append them.
    void OfferSave(MessageBoxes& boxes, const std::string& dir, const std::tm& local) const;

private:
    std::vector<std::string> m_lines;
};

}  // namespace kestrel
