#pragma once

namespace kestrel {

// The four socket operations a POP3 dialogue uses, so the dialogue runs over a CNetSocket
// client in the program and over a scripted stand-in in tests.
class Pop3Channel {
public:
    virtual ~Pop3Channel() = default;
    virtual int Send(const char* data, int length) = 0;
    // 1 readable or closed, 0 timed out, -1 no connection.
    virtual int WaitReadable(int timeoutMs) = 0;
    // Count read, or -1 when nothing could be read.
    virtual int Receive(char* buffer, int size) = 0;
    virtual int GetLastError() = 0;
};

}  // namespace kestrel
