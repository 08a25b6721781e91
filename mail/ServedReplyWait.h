#pragma once

#include <memory>
#include <string>

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

class CNetSocket;

// A client socket to host:port (no owner: read through a channel), made on a thread of its
// own while this thread serves its events: looking the host name up may take as long as the
// resolver's time-out. A socket that could not be made shows itself as a reply that never
// comes.
std::shared_ptr<CNetSocket> ConnectServingEvents(const std::string& host, int port, int readSize);

}  // namespace kestrel
