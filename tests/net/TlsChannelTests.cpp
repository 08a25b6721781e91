#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "net/EventLog.h"
#include "net/StartTls.h"
#include "net/TlsChannel.h"
#include "tests/fakes/ScriptedTlsServer.h"
#include "tests/fakes/TlsTestKit.h"

namespace kestrel {
namespace {

using test::PolledClient;
using test::ScriptedTlsServer;
using test::TestCertificates;
using test::TlsTestCertificates;
using test::TlsTiming;
using T = ScriptedTlsServer;
using Strings = std::vector<std::string>;

class NullSink final : public LogSink {
public:
    void PostLog(std::string_view text) override { texts.emplace_back(text); }
    Strings texts;
};

const TestCertificates::Issued& Good() {
    return TlsTestCertificates::Get().good;
}
const std::string& Ca() {
    return TlsTestCertificates::Get().pki->CaFile();
}

TEST(TlsCertificatesTest, TheTestCaAndItsCertificatesAreMade) {
    auto& c = TlsTestCertificates::Get();
    ASSERT_TRUE(c.pki->Ok());
    for (const auto* issued : {&c.good, &c.otherHost, &c.expired, &c.selfSigned}) {
        EXPECT_FALSE(issued->certFile.empty());
    }
}

// A server on its own TLS port that takes one line and answers it.
T::Script EchoScript() {
    return {T::StartTls(), T::ExpectLine("user"), T::Send("+OK secured\r\n")};
}

struct HandshakeCase {
    const char* name;
    TestCertificates::Issued TlsTestCertificates::*cert;
    const char* host;
    bool withCa;
    const char* caFile;  // overrides withCa when set
    TlsFault fault;
};

const HandshakeCase kHandshakeCases[] = {
    {"good, by address", &TlsTestCertificates::good, "127.0.0.1", true, nullptr, TlsFault::None},
    {"good, by name", &TlsTestCertificates::good, "localhost", true, nullptr, TlsFault::None},
    {"another host's", &TlsTestCertificates::otherHost, "127.0.0.1", true, nullptr,
     TlsFault::WrongHost},
    {"another host's, by name", &TlsTestCertificates::otherHost, "localhost", true, nullptr,
     TlsFault::WrongHost},
    {"expired", &TlsTestCertificates::expired, "127.0.0.1", true, nullptr, TlsFault::Expired},
    {"self-signed", &TlsTestCertificates::selfSigned, "127.0.0.1", true, nullptr,
     TlsFault::NotTrusted},
    {"test CA not trusted", &TlsTestCertificates::good, "127.0.0.1", false, nullptr,
     TlsFault::NotTrusted},
    {"CA file missing", &TlsTestCertificates::good, "127.0.0.1", false, "/nonexistent/ca.pem",
     TlsFault::CaFileUnreadable},
};

TEST(TlsChannelTest, TheCertificateIsCheckedAndNothingGoesOutAfterARefusal) {
    for (const HandshakeCase& c : kHandshakeCases) {
        SCOPED_TRACE(c.name);
        const auto* cert = &(TlsTestCertificates::Get().*c.cert);
        ScriptedTlsServer server(EchoScript(), cert->certFile, cert->keyFile);
        ASSERT_TRUE(server.Listening());
        PolledClient client(c.host, server.Port());
        const std::string caFile = c.caFile ? c.caFile : c.withCa ? Ca() : "";
        TlsChannel channel(client.channel, c.host, caFile);

        const bool secured = channel.Handshake(nullptr, TlsTiming());
        EXPECT_EQ(channel.Fault(), c.fault) << channel.FaultDetail();
        EXPECT_EQ(secured, c.fault == TlsFault::None);
        const std::string user = "user alice\r\n";
        const int sent = channel.Send(user.data(), static_cast<int>(user.size()));
        if (secured) {
            EXPECT_EQ(sent, static_cast<int>(user.size()));
            EXPECT_EQ(test::ReadLine(channel, TlsTiming()), "+OK secured\r\n");
            EXPECT_EQ(server.Lines(), Strings{"user alice"});
            EXPECT_NE(channel.Summary().find("TLSv1."), std::string::npos);
            if (std::string(c.host) == "localhost") {
                EXPECT_EQ(server.ServerName(), "localhost");
            }
        } else {
            EXPECT_EQ(sent, -1);
            EXPECT_EQ(channel.WaitReadable(1), -1);
            EXPECT_FALSE(TlsFaultText(c.fault).empty());
        }
        server.Stop();
        // Never the user's name in clear, whether TLS came up or not.
        EXPECT_EQ(server.Wire().find("user"), std::string::npos);
        if (!secured) {
            EXPECT_TRUE(server.Lines().empty());
        }
    }
}

TEST(TlsChannelTest, AServerThatDropsOrSaysNothingInTheHandshakeIsAFailureNotAHang) {
    {
        ScriptedTlsServer server({T::DropInHandshake()}, Good().certFile, Good().keyFile);
        PolledClient client("127.0.0.1", server.Port());
        TlsChannel channel(client.channel, "127.0.0.1", Ca());
        EXPECT_FALSE(channel.Handshake(nullptr, TlsTiming()));
        EXPECT_EQ(channel.Fault(), TlsFault::HandshakeFailed);
    }
    {
        // Takes the hello and never answers: the budget of 20 slices of 10 ms ends it.
        ScriptedTlsServer server({T::ExpectLine("never")}, Good().certFile, Good().keyFile);
        PolledClient client("127.0.0.1", server.Port());
        TlsChannel channel(client.channel, "127.0.0.1", Ca());
        Timing shortBudget = TlsTiming();
        shortBudget.pollSlices = 20;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(channel.Handshake(nullptr, shortBudget));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
        EXPECT_EQ(channel.Fault(), TlsFault::HandshakeFailed);
        EXPECT_FALSE(channel.Stopped());
    }
    {
        ScriptedTlsServer server({T::ExpectLine("never")}, Good().certFile, Good().keyFile);
        PolledClient client("127.0.0.1", server.Port());
        TlsChannel channel(client.channel, "127.0.0.1", Ca());
        const std::atomic<int> stop{1};
        EXPECT_FALSE(channel.Handshake(&stop, TlsTiming()));
        EXPECT_TRUE(channel.Stopped());
    }
}

TEST(TlsChannelTest, ALongReplyInManyRecordsIsReadWholeWithoutWaitingOutSlices) {
    const std::string big(40000, 'x');
    ScriptedTlsServer server({T::StartTls(), T::Send(big + "\r\n+OK next\r\n")}, Good().certFile,
                             Good().keyFile);
    PolledClient client("127.0.0.1", server.Port());
    TlsChannel channel(client.channel, "127.0.0.1", Ca());
    ASSERT_TRUE(channel.Handshake(nullptr, TlsTiming()));
    // A slice far longer than the test may take: data already inside TLS must not wait for the
    // socket to become readable again.
    Timing slow = TlsTiming();
    slow.pollSliceMs = 5000;
    const std::string expected = big + "\r\n+OK next\r\n";
    std::string text;
    char chunk[1023];
    const auto start = std::chrono::steady_clock::now();
    while (text.size() < expected.size() && channel.WaitReadable(slow.pollSliceMs) == 1) {
        const int got = channel.Receive(chunk, sizeof chunk);
        if (got > 0) text.append(chunk, static_cast<std::size_t>(got));
    }
    EXPECT_EQ(text, expected);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
}

// --- the upgrade after the greeting

struct UpgradeCase {
    const char* name;
    const StartTlsProtocol* protocol;
    T::Script script;
    TlsFault fault;
    Strings lines;
};

std::vector<UpgradeCase> UpgradeCases() {
    const std::string capa = "+OK Capability list follows\r\nUSER\r\nSTLS\r\nUIDL\r\n.\r\n";
    return {
        {"POP3 STLS",
         &kPop3StartTls,
         {T::Send("+OK ready\r\n"), T::ExpectLine("capa"), T::Send(capa), T::ExpectLine("stls"),
          T::Send("+OK Begin TLS negotiation\r\n"), T::StartTls(), T::ExpectLine("user")},
         TlsFault::None,
         {"capa", "stls", "user alice"}},
        {"POP3 CAPA in pieces, lower case, bare line ends",
         &kPop3StartTls,
         {T::Send("+OK ready\r\n"), T::ExpectLine("capa"), T::Send("+OK\nuser\nst"),
          T::Send("ls\n.\n"), T::ExpectLine("stls"), T::Send("+OK\r\n"), T::StartTls(),
          T::ExpectLine("user")},
         TlsFault::None,
         {"capa", "stls", "user alice"}},
        {"POP3 STLS not in CAPA",
         &kPop3StartTls,
         {T::Send("+OK ready\r\n"), T::ExpectLine("capa"),
          T::Send("+OK\r\nUSER\r\nSTLSX\r\nSASL PLAIN STLS\r\n.\r\nSTLS\r\n")},
         TlsFault::NotOffered,
         {"capa"}},
        {"POP3 without CAPA",
         &kPop3StartTls,
         {T::Send("+OK ready\r\n"), T::ExpectLine("capa"), T::Send("-ERR unknown command\r\n")},
         TlsFault::NotOffered,
         {"capa"}},
        {"POP3 STLS refused",
         &kPop3StartTls,
         {T::Send("+OK ready\r\n"), T::ExpectLine("capa"), T::Send(capa), T::ExpectLine("stls"),
          T::Send("-ERR TLS not available now\r\n")},
         TlsFault::NotOffered,
         {"capa", "stls"}},
        {"POP3 clear text after the go-ahead",
         &kPop3StartTls,
         {T::Send("+OK ready\r\n"), T::ExpectLine("capa"), T::Send(capa), T::ExpectLine("stls"),
          T::Send("+OK Begin\r\n+OK 5 messages\r\n")},
         TlsFault::HandshakeFailed,
         {"capa", "stls"}},
        {"POP3 go-ahead, then the server drops in the handshake",
         &kPop3StartTls,
         {T::Send("+OK ready\r\n"), T::ExpectLine("capa"), T::Send(capa), T::ExpectLine("stls"),
          T::Send("+OK\r\n"), T::DropInHandshake()},
         TlsFault::HandshakeFailed,
         {"capa", "stls"}},
        {"NNTP STARTTLS",
         &kNntpStartTls,
         {T::Send("200 ready\r\n"), T::ExpectLine("capabilities"),
          T::Send("101 Capability list:\r\nVERSION 2\r\nREADER\r\nSTARTTLS\r\n.\r\n"),
          T::ExpectLine("starttls"), T::Send("382 Continue with TLS negotiation\r\n"),
          T::StartTls(), T::ExpectLine("user")},
         TlsFault::None,
         {"capabilities", "starttls", "user alice"}},
        {"NNTP STARTTLS refused",
         &kNntpStartTls,
         {T::Send("200 ready\r\n"), T::ExpectLine("capabilities"),
          T::Send("101 Capability list:\r\nVERSION 2\r\nSTARTTLS\r\n.\r\n"),
          T::ExpectLine("starttls"), T::Send("580 Can not initiate TLS negotiation\r\n")},
         TlsFault::NotOffered,
         {"capabilities", "starttls"}},
    };
}

TEST(StartTlsTest, TheUpgradeHappensOnlyWhenOfferedAndNothingFollowsInClear) {
    for (const UpgradeCase& c : UpgradeCases()) {
        SCOPED_TRACE(c.name);
        ScriptedTlsServer server(c.script, Good().certFile, Good().keyFile);
        PolledClient client("127.0.0.1", server.Port());
        TlsChannel channel(client.channel, "127.0.0.1", Ca());
        ASSERT_FALSE(test::ReadLine(channel, TlsTiming()).empty());
        NullSink log;

        const bool secured = StartTls(channel, *c.protocol, log, nullptr, TlsTiming());
        EXPECT_EQ(channel.Fault(), c.fault) << channel.FaultDetail();
        EXPECT_EQ(secured, c.fault == TlsFault::None);
        const std::string user = "user alice\r\n";
        EXPECT_EQ(channel.Send(user.data(), static_cast<int>(user.size())) > 0, secured);
        EXPECT_TRUE(server.WaitForLines(c.lines.size(), 5000));
        server.Stop();
        EXPECT_EQ(server.Lines(), c.lines);
        EXPECT_EQ(server.Wire().find("user"), std::string::npos);
        EXPECT_EQ(log.texts.front(), c.protocol->capabilityCommand);
    }
}

// A check stopped while it waits for the capability list ends as stopped, which tells its
// window to show no box for it.
TEST(StartTlsTest, AStopDuringTheUpgradeIsAStopNotAFault) {
    ScriptedTlsServer server({T::Send("+OK ready\r\n"), T::ExpectLine("capa")}, Good().certFile,
                             Good().keyFile);
    PolledClient client("127.0.0.1", server.Port());
    TlsChannel channel(client.channel, "127.0.0.1", Ca());
    ASSERT_FALSE(test::ReadLine(channel, TlsTiming()).empty());
    NullSink log;
    const std::atomic<int> stop{1};
    EXPECT_FALSE(StartTls(channel, kPop3StartTls, log, &stop, TlsTiming()));
    EXPECT_TRUE(channel.Stopped());
    EXPECT_EQ(channel.Fault(), TlsFault::HandshakeFailed);
}

TEST(StartTlsTest, TheCapabilityListIsReadAsLines) {
    using starttls::Listing;
    struct Case {
        const char* bytes;
        Listing state;
        bool offers;
    };
    const Case cases[] = {
        {"", Listing::Incomplete, false},
        {"+OK", Listing::Incomplete, false},
        {"+OK\r\nSTLS\r\n", Listing::Incomplete, true},
        {"+OK\r\nSTLS\r\n.\r\n", Listing::Complete, true},
        {"+OK\r\nstls\r\n.\r\n", Listing::Complete, true},
        {"+OK\r\nSTLS extra words\r\n.\r\n", Listing::Complete, true},
        {"+OK\r\n.STLS\r\n..\r\n.\r\n", Listing::Complete, false},
        {"+OK STLS\r\n.\r\n", Listing::Complete, false},
        {"+OK\r\nSTLSX\r\n.\r\n", Listing::Complete, false},
        {"+OK\r\n.\r\nSTLS\r\n", Listing::Complete, false},
        {"-ERR\r\n", Listing::Refused, false},
        {"+OK\n\n.\n", Listing::Complete, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(starttls::ScanListing(c.bytes, "+OK"), c.state);
        EXPECT_EQ(starttls::Offers(c.bytes, "STLS"), c.offers);
    }
}

}  // namespace
}  // namespace kestrel
