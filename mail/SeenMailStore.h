#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "mail/SeenMailBook.h"

namespace kestrel {

// The SeenMailBook of the program, kept in a file of the program directory that only the
// user may read (it names servers and users). Read at first use; rewritten whole through a
// file beside it that is renamed over it, so it is whole at every moment. The mail check's
// thread counts and the user-interface thread marks mail read at the same time: one lock.
// A file that cannot be written leaves the book working in memory for this run.
class SeenMailStore {
public:
    static constexpr char kFileName[] = "seenmail.dat";
    // A larger file is not read: its book counts as damaged.
    static constexpr std::size_t kMaxFileBytes = 48u << 20;

    // path empty: kept in memory only.
    explicit SeenMailStore(std::string path);

    struct Count {
        std::uint32_t unread = 0;
        bool saved = true;  // false: the file could not be written
    };
    Count Observe(const MailAccount& account, std::vector<std::string> listing);
    // False when the file could not be written.
    bool MarkRead();

    // Read the file now, as the first use would (for tests of the file).
    SeenMailBook Snapshot();

    // At start: remove the copies ("<path>.XXXXXX") a rewrite cut short by a kill left beside
    // the file at path. A single instance runs, so none can belong to a save under way.
    // Returns how many were removed.
    static std::size_t RemoveStaleCopies(const std::string& path);

private:
    void Load();
    bool Save();

    std::mutex m_lock;
    std::string m_path;
    bool m_loaded = false;
    SeenMailBook m_book;
};

}  // namespace kestrel
