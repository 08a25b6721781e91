#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include "readers/DdeBusClient.h"
#include "res/Cp932.h"
#include "tests/fakes/FakeReader.h"
#include "tests/support/Spin.h"

namespace kestrel {
namespace {

using test::FakeReader;

class DdeBusClientTest : public ::testing::Test {
protected:
    std::unique_ptr<FakeReader> Reader(const char* service, const char* topic) {
        return std::make_unique<FakeReader>(
            QStringLiteral(FAKE_READER_PROGRAM), QLatin1String(service), QLatin1String(topic),
            m_dir.filePath(QStringLiteral("reader%1.log").arg(++m_logs)));
    }

    QTemporaryDir m_dir;
    int m_logs = 0;
};

TEST_F(DdeBusClientTest, ExecuteDeliversTheCommandBytesUnchanged) {
    auto reader = Reader("ALMail", "ALMail");
    ASSERT_TRUE(reader->Start());
    DdeBusClient client;
    auto conversation = client.Connect("ALMail", "ALMail");
    ASSERT_TRUE(conversation);
    // "表" ends in 0x5C and a zero byte in the middle must survive as well.
    const std::string japanese = utf8ToCp932("[受信]表") + std::string("\0\x81\x40", 3);
    EXPECT_TRUE(conversation->Execute("[Retreive]"));
    EXPECT_TRUE(conversation->Execute(japanese));
    EXPECT_EQ(reader->Executes(), (std::vector<std::string>{"[Retreive]", japanese}));
}

TEST_F(DdeBusClientTest, RequestSendsTheItemTextAndReturnsTheReaderBytes) {
    auto reader = Reader("Netscape", "WWW_OpenURL");
    const QByteArray answer("\x82\xa0OK\0tail", 9);
    reader->SetReply(answer);
    ASSERT_TRUE(reader->Start());
    DdeBusClient client;
    auto conversation = client.Connect("Netscape", "WWW_OpenURL");
    ASSERT_TRUE(conversation);
    const std::string item = utf8ToCp932("news:fj.日本語,,0xFFFFFFFF,0x1");
    const auto data = conversation->Request(item);
    ASSERT_TRUE(data.has_value());
    EXPECT_EQ(*data, answer.toStdString());
    EXPECT_EQ(reader->Requests(),
              (std::vector<std::string>{"news:fj.日本語,,0xFFFFFFFF,0x1"}));  // UTF-8 on the bus
}

TEST_F(DdeBusClientTest, NoConversationWithoutAReaderOrWithUnusableNames) {
    auto reader = Reader("ALMail", "ALMail");
    ASSERT_TRUE(reader->Start());
    DdeBusClient client;
    EXPECT_FALSE(client.Connect("Den8", "Command"));  // nobody owns dde.Den8
    for (const auto& [service, topic] :
         std::vector<std::pair<std::string, std::string>>{{"AL Mail", "ALMail"},
                                                          {"ALMail", "AL/Mail"},
                                                          {"8ball", "ALMail"},
                                                          {"", "ALMail"},
                                                          {"ALMail", ""},
                                                          {utf8ToCp932("電信"), "Command"}}) {
        SCOPED_TRACE(service + "/" + topic);
        EXPECT_FALSE(client.Connect(service, topic));
    }
}

TEST_F(DdeBusClientTest, TransactionOnATopicTheReaderDoesNotServeFails) {
    auto reader = Reader("ALMail", "ALMail");
    ASSERT_TRUE(reader->Start());
    DdeBusClient client;
    auto conversation = client.Connect("ALMail", "Elsewhere");
    ASSERT_TRUE(conversation);  // the name has an owner
    EXPECT_FALSE(conversation->Execute("[Retreive]"));
    EXPECT_FALSE(conversation->Request("x").has_value());
    EXPECT_TRUE(reader->Executes().empty());
}

TEST_F(DdeBusClientTest, StuckReaderCostsOneTimeoutAndReportsFailure) {
    auto reader = Reader("ALMail", "ALMail");
    reader->SetStallMs(20000);
    ASSERT_TRUE(reader->Start());
    DdeBusClient client(QDBusConnection::sessionBus(), 200);
    auto conversation = client.Connect("ALMail", "ALMail");
    ASSERT_TRUE(conversation);
    EXPECT_FALSE(conversation->Execute("[Retreive]"));
    EXPECT_FALSE(conversation->Request("item").has_value());
    EXPECT_EQ(reader->Executes().size(), 1u);  // it got there, the answer did not come back
}

TEST_F(DdeBusClientTest, ReaderQuittingEndsTheConversationOnce) {
    auto reader = Reader("Netscape", "WWW_OpenURL");
    ASSERT_TRUE(reader->Start());
    DdeBusClient client;
    auto conversation = client.Connect("Netscape", "WWW_OpenURL");
    ASSERT_TRUE(conversation);
    int notices = 0;
    conversation->SetOnDisconnected([&] { ++notices; });
    EXPECT_TRUE(conversation->IsOpen());

    reader->Stop();
    EXPECT_FALSE(conversation->IsOpen());  // known at once, before the notice arrives
    EXPECT_TRUE(test::SpinUntil([&] { return notices == 1; }));

    // A new reader under the same name is another conversation; the old one stays ended.
    auto second = Reader("Netscape", "WWW_OpenURL");
    ASSERT_TRUE(second->Start());
    test::SpinFor(100);
    EXPECT_EQ(notices, 1);
    EXPECT_FALSE(conversation->IsOpen());
    EXPECT_FALSE(conversation->Execute("[x]"));
    EXPECT_TRUE(second->Executes().empty());
}

TEST_F(DdeBusClientTest, DisconnectFromThisSideGivesNoNotice) {
    auto reader = Reader("Netscape", "WWW_OpenURL");
    ASSERT_TRUE(reader->Start());
    DdeBusClient client;
    auto conversation = client.Connect("Netscape", "WWW_OpenURL");
    ASSERT_TRUE(conversation);
    int notices = 0;
    conversation->SetOnDisconnected([&] { ++notices; });
    conversation->Disconnect();
    EXPECT_FALSE(conversation->IsOpen());
    EXPECT_FALSE(conversation->Request("news:x").has_value());
    reader->Stop();
    test::SpinFor(100);
    EXPECT_EQ(notices, 0);
    EXPECT_TRUE(reader->Requests().empty());
}

}  // namespace
}  // namespace kestrel
