#pragma once

namespace kestrel {

// The four socket operations a protocol dialogue uses (the POP3 and poppassd talks, the news
// check), so the dialogue runs over a CNetSocket client in the program and over a scripted
// stand-in in tests.
class SocketChannel {
public:
    virtual ~SocketChannel() = default;
    virtual int Send(const char* data, int length) = 0;
    // 1 readable or closed, 0 timed out, -1 no connection.
    virtual int WaitReadable(int timeoutMs) = 0;
    // Count read, or -1 when nothing could be read: nothing there yet (GetLastError says
    // would-block), or the peer has closed or failed, which closes the connection (GetLastError
    // says not connected, from then on for every read and send). Never 0.
    virtual int Receive(char* buffer, int size) = 0;
    virtual int GetLastError() = 0;
};

}  // namespace kestrel
