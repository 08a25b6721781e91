#pragma once

#include <atomic>
#include <memory>

namespace kestrel {

class CNetSocket;

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
    // The client of the latest check; kept until the next check or the window's end.
    std::shared_ptr<CNetSocket> socket;
};

}  // namespace kestrel
