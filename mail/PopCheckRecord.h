#pragma once

#include <atomic>

namespace kestrel {

// The block a mail check window shares with its worker thread. busy and stop are the only
// fields both threads touch while a check runs; the texts are copied for the worker when the
// check starts.
struct PopCheckRecord {
    char server[256] = {};
    int port = 0;
    char user[256] = {};
    char password[256] = {};
    std::atomic<int> stop{0};
    std::atomic<int> busy{0};
};

}  // namespace kestrel
