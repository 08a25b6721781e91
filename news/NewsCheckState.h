#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "res/Ids.h"

namespace kestrel {

// One line of the watch list as the current check knows it.
struct GroupEntry {
    char name[256] = {};  // empty when the line was not usable
    std::int32_t last = 0;
};

// The block the news check window shares with its worker thread. status and closing are the
// only fields both threads touch while a check runs; the names and entries belong to the
// worker from the moment status leaves 0 until it is 0 again.
struct NewsCheckState {
    // 0 idle, 1 a check has been started, 2 the server's greeting was accepted.
    std::atomic<int> status{0};
    char newNames[MAX_GROUPS][256] = {};
    GroupEntry entries[MAX_GROUPS];
    std::atomic<int> closing{0};
    std::string listPath;
};

}  // namespace kestrel
