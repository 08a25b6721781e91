#pragma once

#include <QObject>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "chat/ChatFacilities.h"
#include "chat/ChatPacket.h"
#include "chat/MemberTable.h"
#include "chat/PeerGuards.h"
#include "platform/Timing.h"
#include "platform/WindowTimers.h"

namespace kestrel {

class CNetSocket;
class Clock;
class MessageEvent;
struct LocalIdentity;

// The hidden "PeerChat Window": this station's IP Messenger peer. It announces the user,
// keeps the member table from the answers, tells the others when the user's presence
// changes, sends and acknowledges messages and answers version and absence queries. Lives
// from the view's start to the program's end; destroying it announces the exit.
//
// Messages it takes (posted): WM_CHAT_SEND (first SocketEvent with the target's address and
// port, second ChatText), WM_PRESENCE_CHANGED, WM_BROADCAST_LIST_CHANGED. Messages it posts to
// the view: WM_PEER_MESSAGE (first MemberRecord, second MessageText: the text whole) and
// WM_MEMBER_EVENT (wParam the kind, second MemberRecord).
//
// A peer is taken at its word only so far: a message is taken once however often it is sent
// again, a sender's messages beyond its quota are dropped unacknowledged, the member table
// has a ceiling, and no address is answered more than once every few seconds per kind.
class CPeerChat final : public QObject {
public:
    CPeerChat(const PeerChatContext& context, const LocalIdentity& identity, ChatSettings settings,
              const Timing& timing = ProgramTiming(), QObject* parent = nullptr);
    ~CPeerChat() override;
    CPeerChat(const CPeerChat&) = delete;
    CPeerChat& operator=(const CPeerChat&) = delete;

    // Open the socket on the chat port and broadcast the entry. False (after its box) when
    // either fails; the view then drops the object.
    bool Start();
    // Empty the member table and broadcast the entry again.
    void Refresh();
    // Send a message to a member and wait for its acknowledgement. False when it did not go
    // out: a message still awaits its acknowledgement (after the request box), the target is
    // not a member, the text is empty, or the socket refused it.
    bool Send(const SocketEvent& target, const std::string& text);
    // The same for a text in Unicode: in UTF-8 to a member that reads it, else in CP932 (a
    // character CP932 lacks as "〓").
    bool SendText(const SocketEvent& target, const QString& text);

    int Snapshot(std::vector<MemberRecord>& destination) const;
    std::vector<std::string>& SeatWait() { return m_members.SeatWait(); }
    const MemberTable& Members() const { return m_members; }

    bool AwaitingAcknowledgement() const { return m_awaitingAck != 0; }
    int ChatPort() const { return m_chatPort; }
    const CNetSocket* Socket() const { return m_socket.get(); }

protected:
    void customEvent(QEvent* e) override;

private:
    void OnDatagram(MessageEvent& message);
    void OnEntry(const ChatPacket& packet);
    void OnAbsence(const ChatPacket& packet);
    void OnExit(const ChatPacket& packet);
    void OnMessage(const ChatPacket& packet);
    void OnAcknowledgement(const ChatPacket& packet);
    void OnSend(MessageEvent& message);
    void OnGetInfo(const ChatPacket& packet);
    void OnSendInfo(const ChatPacket& packet);
    void OnGetAbsenceInfo(const ChatPacket& packet);
    void OnPresenceChanged();
    void OnTimer(int id);
    void Stop();

    void Apply(const RuleOutcome& outcome, const ChatPacket& packet);
    void SeatReturned(const MemberRecord& record);
    // Whether an answer of this kind may go to the packet's sender now: never to a packet
    // that is itself a broadcast or an automatic answer, and not twice in a few seconds.
    bool MayAnswer(const ChatPacket& packet, int kind);
    std::time_t Now() const;

    unsigned NextNumber() { return ++m_packetCounter; }
    // The local identity's entry-like packet: nickname, with "[whereabouts]" when away.
    std::string PresencePacket(int command);
    std::string PlainPacket(int command, std::string_view extra);
    // The option and the lines that tell UTF-8 peers this station reads UTF-8, for the entry,
    // answer and absence packets; none when UTF-8 is off.
    int Utf8Announcement() const;
    std::string Utf8Tail(std::string_view nickname) const;
    // Send the packet bytes of a message, in the encoding the member reads.
    bool SendMessageBytes(const SocketEvent& target, const std::string& bytes, int options);

    // One packet to 255.255.255.255 alone.
    int Broadcast(const std::string& text);
    // One packet to all: 255.255.255.255, then every BroadIPs address. The broadcast's result.
    int SendToAll(const std::string& text);
    // The BroadIPs addresses a packet to all goes to; what is left out is logged once.
    std::vector<std::string> BroadcastAddresses();
    // One packet to one address, without a trace; a packet with lines after its text goes
    // whole.
    int SendPacket(const std::string& text, const std::string& address, int port);
    // One packet to one address, with its posted trace.
    void SendTo(const std::string& text, const std::string& address, int port);

    void WriteNow(const std::string& line);
    void PostLine(const std::string& line);
    std::string ToAllTrace(const std::string& text) const;

    PeerChatContext m_context;
    const LocalIdentity& m_identity;
    ChatSettings m_settings;
    Timing m_timing;
    int m_chatPort;
    MemberTable m_members;
    std::unique_ptr<CNetSocket> m_socket;
    unsigned m_packetCounter = 100;
    int m_awaitingAck = 0;
    // The message awaiting its acknowledgement: its number and where it went.
    unsigned m_awaitedNumber = 0;
    std::string m_awaitedAddress;
    WindowTimers m_timers;
    const Clock& m_clock;
    RecentMessages m_recent;
    MessageQuota m_quota;
    AnswerGate m_answers;
    bool m_tableFullLogged = false;
    std::string m_skippedLoggedFor;
};

}  // namespace kestrel
