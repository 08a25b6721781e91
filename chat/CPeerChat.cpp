#include "chat/CPeerChat.h"

#include <QString>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>

#include "chat/ChatIds.h"
#include "identity/LocalIdentity.h"
#include "net/EventLog.h"
#include "net/NetSocket.h"
#include "net/SocketSupport.h"
#include "net/TraceLog.h"
#include "platform/MessageBoxes.h"
#include "platform/MessageEvent.h"
#include "res/Text.h"
#include "res/TextsChat.h"

namespace kestrel {

namespace {

constexpr int kReadSize = 256;
constexpr int kBeepHz = 1000;
constexpr int kBeepMs = 500;

std::string NowClock() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16] = {};
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

}  // namespace

CPeerChat::CPeerChat(const PeerChatContext& context, const LocalIdentity& identity,
                     ChatSettings settings, const Timing& timing, QObject* parent)
    : QObject(parent),
      m_context(context),
      m_identity(identity),
      m_settings(std::move(settings)),
      m_timing(timing),
      m_chatPort(m_settings.chatPort),
      m_timers([this](int id) { OnTimer(id); }) {
    setObjectName(QString::fromLatin1(txt::kPeerChatWindowTitle));
}

CPeerChat::~CPeerChat() {
    Stop();
}

void CPeerChat::WriteNow(const std::string& line) {
    if (m_context.writeLog)
        m_context.writeLog(line);
    else
        OnWriteLog(line);
}

void CPeerChat::PostLine(const std::string& line) {
    if (m_context.log) m_context.log->PostLog(line);
}

std::string CPeerChat::ToAllTrace(const std::string& text) const {
    return net::Format(sjis(txt::kTraceChatToAll).c_str(), m_chatPort,
                       net::SocketId(m_socket.get()), text.c_str());
}

std::string CPeerChat::PlainPacket(int command, std::string_view extra) {
    return BuildPacket(NextNumber(), FieldText(m_identity.userName), FieldText(m_identity.hostName),
                       command, extra);
}

std::string CPeerChat::PresencePacket(int command) {
    return BuildPresencePacket(
        NextNumber(), FieldText(m_identity.userName), FieldText(m_identity.hostName), command,
        FieldText(m_identity.nickname), m_identity.present == 1, FieldText(m_identity.whereabouts));
}

int CPeerChat::SendToAll(const std::string& text) {
    if (!m_socket) return -1;
    const int result = m_socket->BroadcastText(text);
    const std::string setting = m_settings.broadIPs ? m_settings.broadIPs() : std::string();
    for (const auto& address : BroadcastList(setting))
        m_socket->SendTextTo(text, address, m_chatPort);
    return result;
}

void CPeerChat::SendTo(const std::string& text, const std::string& address, int port) {
    if (!m_socket) return;
    m_socket->SendTextTo(text, address, port);
    PostLine(net::Format(sjis(txt::kTraceChatTo).c_str(), address.c_str(), port,
                         net::SocketId(m_socket.get()), text.c_str()));
}

bool CPeerChat::Start() {
    m_socket = std::make_unique<CNetSocket>(m_chatPort, this, WM_CHAT_DATAGRAM, 1, kReadSize);
    const int error = m_socket->GetLastError();
    if (error != 0 && !net::IsWouldBlock(error)) {
        m_socket.reset();
        if (m_context.boxes)
            m_context.boxes->Show(net::Format(sjis(txt::kChatPortFailed).c_str(), error),
                                  sjis(txt::kCaptionWarning), BoxIcon::Stop);
        return false;
    }
    WriteNow(net::Format(txt::kTraceChatSocket, static_cast<unsigned>(m_chatPort),
                         net::SocketId(m_socket.get())));
    // The start entry never carries the whereabouts, whatever the presence.
    const std::string entry = PlainPacket(IPMSG_BR_ENTRY, FieldText(m_identity.nickname));
    if (m_socket->BroadcastText(entry) < 0) {
        if (m_context.boxes)
            m_context.boxes->Show(
                net::Format(sjis(txt::kChatEntryFailed).c_str(), m_socket->GetLastError()),
                sjis(txt::kCaptionWarning), BoxIcon::Stop);
        return false;
    }
    const std::string setting = m_settings.broadIPs ? m_settings.broadIPs() : std::string();
    for (const auto& address : BroadcastList(setting))
        m_socket->SendTextTo(entry, address, m_chatPort);
    WriteNow(ToAllTrace(entry));
    return true;
}

void CPeerChat::Refresh() {
    m_members.Empty();
    const std::string entry = PresencePacket(IPMSG_BR_ENTRY);
    if (!m_socket) return;
    SendToAll(entry);
    PostLine(ToAllTrace(entry));
}

void CPeerChat::OnPresenceChanged() {
    const std::string absence = PresencePacket(IPMSG_BR_ABSENCE);
    if (!m_socket) return;
    SendToAll(absence);
    WriteNow(ToAllTrace(absence));
}

void CPeerChat::Stop() {
    m_timers.KillTimer(TIMER_ACK_TIMEOUT);
    const std::string exit = PlainPacket(IPMSG_BR_EXIT, FieldText(m_identity.nickname));
    if (m_socket) {
        SendToAll(exit);
        WriteNow(ToAllTrace(exit));
        // Give the exit time to leave before the socket closes under it.
        std::this_thread::sleep_for(std::chrono::milliseconds(m_timing.exitPauseMs));
        m_socket.reset();
    }
    m_members.Empty();
    m_members.SeatWait().clear();
}

int CPeerChat::Snapshot(std::vector<MemberRecord>& destination) const {
    return m_members.Snapshot(destination);
}

void CPeerChat::customEvent(QEvent* e) {
    MessageEvent* message = asMessage(e);
    if (!message) {
        QObject::customEvent(e);
        return;
    }
    switch (message->message()) {
        case WM_CHAT_DATAGRAM:
            OnDatagram(*message);
            return;
        case WM_CHAT_SEND:
            OnSend(*message);
            return;
        case WM_PRESENCE_CHANGED:
            OnPresenceChanged();
            return;
        case WM_BROADCAST_LIST_CHANGED:
            Refresh();
            return;
        default:
            break;
    }
    const std::unique_ptr<ChatPacket> packet = message->takeSecond<ChatPacket>();
    if (!packet) return;
    switch (message->message()) {
        case WM_CHAT_ENTRY:
            OnEntry(*packet);
            break;
        case WM_CHAT_ABSENCE:
        case WM_CHAT_SENDABSENCEINFO:
            OnAbsence(*packet);
            break;
        case WM_CHAT_EXIT:
            OnExit(*packet);
            break;
        case WM_CHAT_SENDMSG:
            OnMessage(*packet);
            break;
        case WM_CHAT_RECVMSG:
            OnAcknowledgement();
            break;
        case WM_CHAT_GETINFO:
            OnGetInfo(*packet);
            break;
        case WM_CHAT_SENDINFO:
            OnSendInfo(*packet);
            break;
        case WM_CHAT_GETABSENCEINFO:
            OnGetAbsenceInfo(*packet);
            break;
        default:
            break;
    }
}

void CPeerChat::OnDatagram(MessageEvent& message) {
    const std::unique_ptr<SocketEvent> event = message.takeFirst<SocketEvent>();
    const std::unique_ptr<SocketData> data = message.takeSecond<SocketData>();
    if (!event || !data) return;
    const int length = std::clamp(data->length, 0, static_cast<int>(sizeof data->data));
    if (length == 0) return;
    const std::string text = DatagramText(data->data, length);
    auto packet = std::make_unique<ChatPacket>(ParsePacket(text, *event));
    PostLine(net::Format(sjis(txt::kTraceChatFrom).c_str(), FieldText(event->peerAddress).c_str(),
                         event->peerPort, net::SocketId(m_socket.get()), text.c_str()));
    unsigned next = 0;
    switch (packet->command) {
        case IPMSG_BR_ENTRY:
        case IPMSG_ANSENTRY:
            next = WM_CHAT_ENTRY;
            break;
        case IPMSG_BR_ABSENCE:
            next = WM_CHAT_ABSENCE;
            break;
        case IPMSG_BR_EXIT:
            next = WM_CHAT_EXIT;
            break;
        case IPMSG_SENDMSG:
            next = WM_CHAT_SENDMSG;
            break;
        case IPMSG_RECVMSG:
            next = WM_CHAT_RECVMSG;
            break;
        case IPMSG_GETINFO:
            next = WM_CHAT_GETINFO;
            break;
        case IPMSG_SENDINFO:
            next = WM_CHAT_SENDINFO;
            break;
        case IPMSG_GETABSENCEINFO:
            next = WM_CHAT_GETABSENCEINFO;
            break;
        case IPMSG_SENDABSENCEINFO:
            next = WM_CHAT_SENDABSENCEINFO;
            break;
        default:
            return;
    }
    // Acting on a later turn of the loop keeps packets behind whatever is already queued.
    PostMessage(this, next, 0, 0, nullptr, own(std::move(*packet)));
}

void CPeerChat::SeatReturned(const MemberRecord& record) {
    if (m_context.beeper) m_context.beeper->Beep(kBeepHz, kBeepMs);
    if (m_context.seatNotices)
        m_context.seatNotices->ShowSeatNotice(net::Format(sjis(txt::kSeatReturned).c_str(),
                                                          FieldText(record.nickname).c_str(),
                                                          NowClock().c_str()));
}

void CPeerChat::Apply(const RuleOutcome& outcome, const ChatPacket& packet) {
    if (outcome.seatReturn) SeatReturned(*outcome.seatReturn);
    if (outcome.event)
        PostMessage(m_context.view, WM_MEMBER_EVENT, outcome.event->kind, 0, nullptr,
                    own(outcome.event->record));
    if (outcome.askVersion)
        SendTo(PlainPacket(IPMSG_GETINFO, FieldText(m_identity.nickname)),
               FieldText(packet.sender.peerAddress), packet.sender.peerPort);
}

void CPeerChat::OnEntry(const ChatPacket& packet) {
    if (packet.command == IPMSG_BR_ENTRY)
        SendTo(PresencePacket(IPMSG_ANSENTRY), FieldText(packet.sender.peerAddress),
               packet.sender.peerPort);
    Apply(m_members.Entry(packet), packet);
}

void CPeerChat::OnAbsence(const ChatPacket& packet) {
    Apply(m_members.Absence(packet), packet);
}

void CPeerChat::OnExit(const ChatPacket& packet) {
    Apply(m_members.Exit(packet), packet);
}

void CPeerChat::OnSendInfo(const ChatPacket& packet) {
    Apply(m_members.Version(packet), packet);
}

void CPeerChat::OnGetInfo(const ChatPacket& packet) {
    SendTo(PlainPacket(IPMSG_SENDINFO, sjis(txt::kChatVersionAnswer)),
           FieldText(packet.sender.peerAddress), packet.sender.peerPort);
    if (m_members.Info(packet))
        SendTo(PlainPacket(IPMSG_GETINFO, FieldText(m_identity.nickname)),
               FieldText(packet.sender.peerAddress), packet.sender.peerPort);
}

void CPeerChat::OnGetAbsenceInfo(const ChatPacket& packet) {
    const MemberRecord* member = m_members.Find(FieldText(packet.sender.peerAddress));
    if (!member) return;
    const MemberRecord target = *member;
    SendTo(PresencePacket(IPMSG_SENDABSENCEINFO), FieldText(target.address), target.port);
}

void CPeerChat::OnMessage(const ChatPacket& packet) {
    const MemberRecord* found = m_members.Find(FieldText(packet.sender.peerAddress));
    if (!found) return;
    const MemberRecord member = *found;
    PostMessage(m_context.view, WM_PEER_MESSAGE, 0, 0, own(member),
                own(MakeChatText(packet.extra)));
    if ((packet.options & IPMSG_SENDCHECKOPT) != 0 && m_socket)
        SendTo(BuildAckPacket(NextNumber(), FieldText(m_identity.userName),
                              FieldText(m_identity.hostName),
                              static_cast<unsigned>(packet.packetNumber)),
               FieldText(member.address), member.port);
}

void CPeerChat::OnAcknowledgement() {
    m_timers.KillTimer(TIMER_ACK_TIMEOUT);
    m_awaitingAck = 0;
}

void CPeerChat::OnSend(MessageEvent& message) {
    const std::unique_ptr<SocketEvent> target = message.takeFirst<SocketEvent>();
    const std::unique_ptr<ChatText> text = message.takeSecond<ChatText>();
    if (m_awaitingAck) {
        if (m_context.boxes)
            m_context.boxes->Show(sjis(txt::kChatStillSending), sjis(txt::kCaptionRequest),
                                  BoxIcon::None);
        return;
    }
    if (!target || !text) return;
    const std::string body = TextOf(*text);
    if (body.empty()) return;
    const std::string address = FieldText(target->peerAddress);
    if (!m_members.Find(address)) return;
    const std::string packet = PlainPacket(IPMSG_SENDMSG | IPMSG_SENDCHECKOPT, body);
    if (m_socket) m_socket->SendTextTo(packet, address, target->peerPort);
    m_timers.SetTimer(TIMER_ACK_TIMEOUT, m_timing.ackTimeoutMs);
    m_awaitingAck = 1;
    PostLine(net::Format(sjis(txt::kTraceChatTo).c_str(), address.c_str(), target->peerPort,
                         net::SocketId(m_socket.get()), packet.c_str()));
}

void CPeerChat::OnTimer(int id) {
    if (id != TIMER_ACK_TIMEOUT) return;
    m_timers.KillTimer(TIMER_ACK_TIMEOUT);
    if (m_context.boxes)
        m_context.boxes->Show(sjis(txt::kChatNotDelivered), sjis(txt::kCaptionNotice),
                              BoxIcon::Information);
    m_awaitingAck = 0;
}

}  // namespace kestrel
