#pragma once

#include "mail/ReplyWait.h"

namespace kestrel {

// WaitForReply for a dialogue that runs on the user-interface thread: the slices are polled
// on a thread of their own while this thread keeps serving its events (RunServingEvents), so
// a slow server does not freeze the windows. Slices, budget and result are those of
// WaitForReply; a quit of the program meanwhile ends the wait as Stopped within one slice.
WaitResult WaitForReplyServingEvents(SocketChannel& channel, ReplyBuffer& reply,
                                     const Timing& timing);

// A pause for a command to go out before the connection closes, ended early by an answer,
// served the same way.
void WaitReadableServingEvents(SocketChannel& channel, int timeoutMs);

}  // namespace kestrel
