#include "chat/CPeerChat.h"

#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "chat/ChatIds.h"
#include "chat/PeerText.h"
#include "identity/LocalIdentity.h"
#include "net/EventLog.h"
#include "net/LogText.h"
#include "net/NetSocket.h"
#include "net/SocketSupport.h"
#include "net/TraceLog.h"
#include "platform/Clock.h"
#include "platform/MessageBoxes.h"
#include "platform/MessageEvent.h"
#include "res/Text.h"
#include "res/TextsChat.h"

namespace kestrel {

namespace {

constexpr int kBeepHz = 1000;
constexpr int kBeepMs = 500;

std::string ClockText(std::time_t now) {
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
      m_timers([this](int id) { OnTimer(id); }),
      m_clock(context.clock ? *context.clock : SystemClock()) {
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
                       net::SocketId(m_socket.get()), net::LogSafeText(text).c_str());
}

std::time_t CPeerChat::Now() const {
    return m_clock.Now();
}

bool CPeerChat::MayAnswer(const ChatPacket& packet, int kind) {
    if ((packet.options & (IPMSG_BROADCASTOPT | IPMSG_AUTORETOPT)) != 0) return false;
    return m_answers.Allow(FieldText(packet.sender.peerAddress), kind, Now());
}

std::vector<std::string> CPeerChat::BroadcastAddresses() {
    const std::string setting = m_settings.broadIPs ? m_settings.broadIPs() : std::string();
    std::vector<std::string> skipped;
    std::vector<std::string> targets = BroadcastTargets(BroadcastList(setting), &skipped);
    // One line per list, not per packet.
    if (!skipped.empty() && setting != m_skippedLoggedFor) {
        m_skippedLoggedFor = setting;
        std::string names;
        for (const auto& name : skipped) names += (names.empty() ? "" : " ") + name;
        PostLine(net::Format(txt::kTraceChatBroadcastSkipped,
                             static_cast<unsigned>(kMostBroadcastTargets),
                             net::LogSafeText(names).c_str()));
    }
    return targets;
}

std::string CPeerChat::PlainPacket(int command, std::string_view extra) {
    return BuildPacket(NextNumber(), FieldText(m_identity.userName), FieldText(m_identity.hostName),
                       command, extra);
}

std::string CPeerChat::PresencePacket(int command) {
    const bool present = m_identity.present == 1;
    const std::string nickname = FieldText(m_identity.nickname);
    const std::string whereabouts = FieldText(m_identity.whereabouts);
    // The absence answer to a query is no announcement.
    const bool announce = command != IPMSG_SENDABSENCEINFO;
    std::string packet = BuildPresencePacket(
        NextNumber(), FieldText(m_identity.userName), FieldText(m_identity.hostName),
        command | (announce ? Utf8Announcement() : 0), nickname, present, whereabouts);
    if (!announce) return packet;
    // The UTF-8 nickname says what the CP932 one does, whereabouts and all.
    return packet + Utf8Tail(present ? nickname : nickname + '[' + whereabouts + ']');
}

int CPeerChat::Utf8Announcement() const {
    return m_settings.utf8 ? IPMSG_CAPUTF8OPT : 0;
}

std::string CPeerChat::Utf8Tail(std::string_view nickname) const {
    if (!m_settings.utf8) return {};
    return EntryNamesTail(FromCp932(FieldText(m_identity.userName)),
                          FromCp932(FieldText(m_identity.hostName)), FromCp932(nickname));
}

namespace {

// A packet with lines after its text is sent whole, with the zero byte that ends it.
bool HasLines(const std::string& text) {
    return text.find('\0') != std::string::npos;
}

int DataLength(const std::string& text) {
    return static_cast<int>(text.size()) + 1;
}

}  // namespace

int CPeerChat::SendPacket(const std::string& text, const std::string& address, int port) {
    if (!m_socket) return -1;
    if (HasLines(text)) return m_socket->SendTo(text.c_str(), DataLength(text), address, port);
    return m_socket->SendTextTo(text, address, port);
}

int CPeerChat::Broadcast(const std::string& text) {
    if (!m_socket) return -1;
    return HasLines(text) ? m_socket->BroadcastData(text.c_str(), DataLength(text))
                          : m_socket->BroadcastText(text);
}

int CPeerChat::SendToAll(const std::string& text) {
    if (!m_socket) return -1;
    const int result = Broadcast(text);
    for (const auto& address : BroadcastAddresses()) SendPacket(text, address, m_chatPort);
    return result;
}

void CPeerChat::SendTo(const std::string& text, const std::string& address, int port) {
    if (!m_socket) return;
    SendPacket(text, address, port);
    PostLine(net::Format(sjis(txt::kTraceChatTo).c_str(), address.c_str(), port,
                         net::SocketId(m_socket.get()), net::LogSafeText(text).c_str()));
}

bool CPeerChat::Start() {
    // Port 0 would bind a port of the system's choosing where no peer looks: refused as an
    // impossible port is.
    m_socket = std::make_unique<CNetSocket>(m_chatPort == 0 ? -1 : m_chatPort, this,
                                            WM_CHAT_DATAGRAM, 1, CNetSocket::kMaxDatagram);
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
    const std::string entry =
        PlainPacket(IPMSG_BR_ENTRY | Utf8Announcement(), FieldText(m_identity.nickname)) +
        Utf8Tail(FieldText(m_identity.nickname));
    if (Broadcast(entry) < 0) {
        if (m_context.boxes)
            m_context.boxes->Show(
                net::Format(sjis(txt::kChatEntryFailed).c_str(), m_socket->GetLastError()),
                sjis(txt::kCaptionWarning), BoxIcon::Stop);
        return false;
    }
    for (const auto& address : BroadcastAddresses()) SendPacket(entry, address, m_chatPort);
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
            OnAcknowledgement(*packet);
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
    if (!event) return;
    // The socket hands datagrams over whole; a block of the old size is still read.
    std::string text;
    std::string rest;
    if (const auto whole = message.takeSecond<SocketDatagram>()) {
        if (whole->data.empty()) return;
        const int length = static_cast<int>(whole->data.size());
        text = DatagramText(whole->data.data(), length);
        rest = DatagramRest(whole->data.data(), length);
    } else if (const auto data = message.takeSecond<SocketData>()) {
        const int length = std::clamp(data->length, 0, static_cast<int>(sizeof data->data));
        if (length == 0) return;
        text = DatagramText(data->data, length);
        rest = DatagramRest(data->data, length);
    } else {
        return;
    }
    auto packet = std::make_unique<ChatPacket>(ParsePacket(text, *event));
    packet->rest = std::move(rest);
    PostLine(net::Format(sjis(txt::kTraceChatFrom).c_str(), FieldText(event->peerAddress).c_str(),
                         event->peerPort, net::SocketId(m_socket.get()),
                         net::LogSafeText(text).c_str()));
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
                                                          ClockText(Now()).c_str()));
}

void CPeerChat::Apply(const RuleOutcome& outcome, const ChatPacket& packet) {
    if (outcome.seatReturn) SeatReturned(*outcome.seatReturn);
    if (outcome.event)
        PostMessage(m_context.view, WM_MEMBER_EVENT, outcome.event->kind, 0, nullptr,
                    own(outcome.event->record));
    if (outcome.askVersion && MayAnswer(packet, IPMSG_GETINFO))
        SendTo(PlainPacket(IPMSG_GETINFO, FieldText(m_identity.nickname)),
               FieldText(packet.sender.peerAddress), packet.sender.peerPort);
}

void CPeerChat::OnEntry(const ChatPacket& packet) {
    const RuleOutcome outcome = m_members.Entry(packet);
    if (outcome.full) {
        // Not listed, not answered; said once until the table has room again.
        if (!m_tableFullLogged)
            PostLine(net::Format(txt::kTraceChatTableFull,
                                 FieldText(packet.sender.peerAddress).c_str(),
                                 packet.sender.peerPort, static_cast<unsigned>(m_members.Size())));
        m_tableFullLogged = true;
        return;
    }
    if (m_members.Size() < MemberTable::kMost) m_tableFullLogged = false;
    if (packet.command == IPMSG_BR_ENTRY && MayAnswer(packet, IPMSG_ANSENTRY))
        SendTo(PresencePacket(IPMSG_ANSENTRY), FieldText(packet.sender.peerAddress),
               packet.sender.peerPort);
    Apply(outcome, packet);
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
    // Answered, but the asker is not listed for it: only an entry makes a member, so a forged
    // query cannot put strangers in the table or let their messages through.
    if (MayAnswer(packet, IPMSG_SENDINFO))
        SendTo(PlainPacket(IPMSG_SENDINFO, sjis(txt::kChatVersionAnswer)),
               FieldText(packet.sender.peerAddress), packet.sender.peerPort);
}

void CPeerChat::OnGetAbsenceInfo(const ChatPacket& packet) {
    const MemberRecord* member = m_members.Find(FieldText(packet.sender.peerAddress));
    if (!member || !MayAnswer(packet, IPMSG_SENDABSENCEINFO)) return;
    const MemberRecord target = *member;
    SendTo(PresencePacket(IPMSG_SENDABSENCEINFO), FieldText(target.address), target.port);
}

void CPeerChat::OnMessage(const ChatPacket& packet) {
    const MemberRecord* found = m_members.Find(FieldText(packet.sender.peerAddress));
    if (!found) return;
    const MemberRecord member = *found;
    const bool ackWanted = (packet.options & IPMSG_SENDCHECKOPT) != 0 &&
                           (packet.options & (IPMSG_BROADCASTOPT | IPMSG_AUTORETOPT)) == 0;
    const auto acknowledge = [&] {
        if (ackWanted && m_socket)
            SendTo(BuildAckPacket(NextNumber(), FieldText(m_identity.userName),
                                  FieldText(m_identity.hostName),
                                  static_cast<unsigned>(packet.packetNumber)),
                   FieldText(member.address), member.port);
    };
    const std::string sender = MemberKey(member);
    const auto number = static_cast<unsigned>(packet.packetNumber);
    const std::time_t now = Now();
    // The same message again: its acknowledgement was lost. Said again, not shown again.
    if (m_recent.Seen(sender, number, now)) {
        if (m_answers.Allow(sender, IPMSG_RECVMSG, now)) acknowledge();
        return;
    }
    switch (m_quota.Ask(sender, now)) {
        case MessageQuota::Verdict::Take:
            break;
        case MessageQuota::Verdict::DropFirst:
            PostLine(net::Format(txt::kTraceChatSenderDropped, FieldText(member.address).c_str(),
                                 member.port));
            return;
        case MessageQuota::Verdict::Drop:
            return;
    }
    m_recent.Remember(sender, number, now);
    MessageText text;
    if ((packet.options & IPMSG_UTF8OPT) != 0 || LooksLikeUtf8(packet.extra)) {
        text.unicode = MessageTextOf(packet);
        text.text = ToCp932(text.unicode);
    } else {
        text.text = PrintableMessage(packet.extra);
    }
    PostMessage(m_context.view, WM_PEER_MESSAGE, 0, 0, own(member), own(std::move(text)));
    acknowledge();
}

void CPeerChat::OnAcknowledgement(const ChatPacket& packet) {
    // Only the acknowledgement of the message sent, from the member it went to, ends the
    // wait; any other is a late answer to an earlier message, or no answer at all.
    if (!m_awaitingAck || FieldText(packet.sender.peerAddress) != m_awaitedAddress) return;
    const std::string& extra = packet.extra;
    char* end = nullptr;
    const unsigned long number = std::strtoul(extra.c_str(), &end, 10);
    if (end == extra.c_str() || number != m_awaitedNumber) return;
    m_timers.KillTimer(TIMER_ACK_TIMEOUT);
    m_awaitingAck = 0;
}

void CPeerChat::OnSend(MessageEvent& message) {
    const std::unique_ptr<SocketEvent> target = message.takeFirst<SocketEvent>();
    const SocketEvent where = target ? *target : SocketEvent{};
    if (const auto unicode = message.takeSecond<QString>()) {
        SendText(where, *unicode);
        return;
    }
    const std::unique_ptr<ChatText> text = message.takeSecond<ChatText>();
    Send(where, text ? TextOf(*text) : std::string());
}

bool CPeerChat::Send(const SocketEvent& target, const std::string& text) {
    // CP932 text goes out as it is; only a member that reads UTF-8 gets it converted.
    const MemberRecord* member = m_members.Find(FieldText(target.peerAddress));
    if (member && member->utf8 && m_settings.utf8 && !m_awaitingAck)
        return SendText(target, FromCp932(text));
    return SendMessageBytes(target, text, 0);
}

bool CPeerChat::SendText(const SocketEvent& target, const QString& text) {
    const MemberRecord* member = m_members.Find(FieldText(target.peerAddress));
    if (member && member->utf8 && m_settings.utf8)
        return SendMessageBytes(target, text.toStdString(), IPMSG_UTF8OPT);
    return SendMessageBytes(target, ToCp932(text), 0);
}

bool CPeerChat::SendMessageBytes(const SocketEvent& target, const std::string& text, int options) {
    if (m_awaitingAck) {
        if (m_context.boxes)
            m_context.boxes->Show(sjis(txt::kChatStillSending), sjis(txt::kCaptionRequest),
                                  BoxIcon::None);
        return false;
    }
    if (text.empty()) return false;
    const std::string address = FieldText(target.peerAddress);
    if (!m_members.Find(address)) return false;
    const unsigned number = NextNumber();
    const std::string packet =
        BuildPacket(number, FieldText(m_identity.userName), FieldText(m_identity.hostName),
                    IPMSG_SENDMSG | IPMSG_SENDCHECKOPT | options, text);
    // Without a socket (its creation failed) the send does nothing, and the rest runs on.
    if (m_socket && m_socket->SendTextTo(packet, address, target.peerPort) < 0) return false;
    m_timers.SetTimer(TIMER_ACK_TIMEOUT, m_timing.ackTimeoutMs);
    m_awaitingAck = 1;
    m_awaitedNumber = number;
    m_awaitedAddress = address;
    PostLine(net::Format(sjis(txt::kTraceChatTo).c_str(), address.c_str(), target.peerPort,
                         net::SocketId(m_socket.get()), net::LogSafeText(packet).c_str()));
    return true;
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
