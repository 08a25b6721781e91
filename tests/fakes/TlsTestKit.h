#pragma once

#include <QTemporaryDir>

#include <atomic>
#include <memory>
#include <string>

#include "net/NetSocket.h"
#include "net/NetSocketChannel.h"
#include "net/SocketChannel.h"
#include "platform/Timing.h"
#include "tests/fakes/TestCertificates.h"

namespace kestrel::test {

// The certificates every TLS test uses, made once per test program.
struct TlsTestCertificates {
    QTemporaryDir dir;
    std::unique_ptr<TestCertificates> pki;
    TestCertificates::Issued good;       // localhost and 127.0.0.1, from the test CA
    TestCertificates::Issued otherHost;  // mail.example.org only
    TestCertificates::Issued expired;    // ended yesterday
    TestCertificates::Issued selfSigned;

    static TlsTestCertificates& Get() {
        static TlsTestCertificates certificates;
        return certificates;
    }

private:
    TlsTestCertificates() {
        pki = std::make_unique<TestCertificates>(dir.path().toStdString());
        good = pki->Issue({"good", "DNS:localhost,IP:127.0.0.1"});
        otherHost = pki->Issue({"other", "DNS:mail.example.org"});
        expired = pki->Issue({"expired", "DNS:localhost,IP:127.0.0.1", -10 * 86400, -86400});
        selfSigned = pki->Issue({"self", "DNS:localhost,IP:127.0.0.1", -3600, 86400, true});
    }
};

// A polling client of the program's own socket class, as the workers make them.
struct PolledClient {
    PolledClient(const std::string& host, int port)
        : socket(std::make_shared<CNetSocket>(host, port, nullptr, 0, 0, 256)), channel(socket) {}
    std::shared_ptr<CNetSocket> socket;
    NetSocketChannel channel;
};

// Short slices, a budget of a few seconds: enough for a handshake on a busy machine.
inline Timing TlsTiming() {
    Timing t;
    t.pollSliceMs = 10;
    t.pollSlices = 500;
    return t;
}

// Read one line (through "\n") within the budget; empty when none came.
inline std::string ReadLine(SocketChannel& channel, const Timing& timing) {
    std::string text;
    char chunk[1023];
    for (int slice = 0; slice < timing.pollSlices; ++slice) {
        channel.WaitReadable(timing.pollSliceMs);
        const int got = channel.Receive(chunk, sizeof chunk);
        if (got > 0) text.append(chunk, static_cast<std::size_t>(got));
        if (text.find('\n') != std::string::npos) return text;
    }
    return {};
}

}  // namespace kestrel::test
