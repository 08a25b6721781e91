#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrel {

// The watch list file, opened with exclusive access: an advisory lock (flock) held from the
// opening to the closing, so another copy of the program, or any program that locks it,
// never sees it half-updated, and a list held locked by one makes the check skip its turn.
class WatchListFile {
public:
    WatchListFile() = default;
    ~WatchListFile();
    WatchListFile(const WatchListFile&) = delete;
    WatchListFile& operator=(const WatchListFile&) = delete;

    // Whether the list can be opened for reading with exclusive access (it is closed again).
    static bool CanOpen(const std::string& path);

    // Open and lock the list and read its first bytes, enough for every line a check uses.
    // False when it is missing, unreadable or locked.
    bool Open(const std::string& path);
    bool IsOpen() const { return m_fd >= 0; }

    // The file's first bytes: up to its MAX_GROUPS-th line end or its end, never more than
    // WatchList::kHeadLimit.
    std::string_view Head() const { return m_head; }

    // Replace the list by lines followed by the file's own bytes from keepFrom to its end,
    // unchanged. The new content goes to a file beside the list, is flushed to the disk and
    // renamed over the list, so the list is whole at every moment, whatever happens to the
    // program; the list's permissions are kept. False when the list was replaced or changed
    // by another program since Open (the user's edit wins over the numbers), or on any
    // failure; the list is then as it was.
    bool Rewrite(std::string_view lines, std::size_t keepFrom);

    void Close();

    // Remove the copies a rewrite left beside the list at path when the program was killed
    // before its rename. Only for the start of the program: a single instance runs, so no
    // rewrite can own one then. Returns how many were removed.
    static std::size_t RemoveStaleCopies(const std::string& path);

private:
    bool CopyTail(int to, std::size_t from) const;

    int m_fd = -1;
    std::string m_path;
    std::string m_head;
    long long m_size = 0;
    long long m_mtimeNs = 0;
};

}  // namespace kestrel
