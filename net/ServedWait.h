#pragma once

#include <atomic>
#include <functional>

namespace kestrel {

// For a socket wait that the user-interface thread must sit out (the log-in check, the
// password change): work runs on a thread of its own while the calling thread goes on
// handling its events, so the windows repaint, the window manager gets its answers, and
// timers, sockets and posted events are served. User input is held back until work has
// returned, so the step stays as modal as a blocking wait would be; the held input is
// delivered afterwards.
//
// Returns when work has returned; whatever work touched is the caller's again by then. When
// the program is told to quit meanwhile, stop is set for work to see (a reply wait ends within
// one slice) and the call still waits for it. Off the application's thread, or without an
// application object, work simply runs here.
void RunServingEvents(const std::function<void(const std::atomic<int>& stop)>& work);

}  // namespace kestrel
