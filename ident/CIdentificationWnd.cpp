#include "ident/CIdentificationWnd.h"

#include <QString>

#include <algorithm>

#include "ident/IdentReply.h"
#include "net/EventLog.h"
#include "net/NetSocket.h"
#include "net/SocketSupport.h"
#include "platform/MessageEvent.h"
#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsIdent.h"

namespace kestrel {

CIdentificationWnd::CIdentificationWnd(const WorkerContext& context, QObject* parent,
                                       const Timing& timing)
    : QObject(parent), m_context(context), m_timing(timing) {
    setObjectName(QString::fromLatin1(txt::kIdentificationWindowTitle));
}

// The socket goes first, closing every connection; events still queued for this window are
// dropped with it by Qt.
CIdentificationWnd::~CIdentificationWnd() {
    m_socket.reset();
}

void CIdentificationWnd::Log(std::string_view text) {
    if (m_context.log) m_context.log->PostLog(text);
}

bool CIdentificationWnd::Start(int port, const std::string& user) {
    Log(sjis(txt::kIdentSocketReady));
    m_socket = std::make_unique<CNetSocket>(port, this, WM_IDENT_SOCKET, 0, 256, m_timing);
    const int error = m_socket->GetLastError();
    if (error != 0 && !net::IsWouldBlock(error)) return false;
    m_user = user;
    return true;
}

int CIdentificationWnd::Port() const {
    return m_socket ? m_socket->Port() : 0;
}

std::size_t CIdentificationWnd::OpenConnections() const {
    return m_socket ? m_socket->AcceptedCount() : 0;
}

void CIdentificationWnd::customEvent(QEvent* e) {
    MessageEvent* message = asMessage(e);
    if (!message || message->message() != WM_IDENT_SOCKET) {
        QObject::customEvent(e);
        return;
    }
    OnIdentSocket(message->takeFirst<SocketEvent>(), message->takeSecond<SocketData>());
}

void CIdentificationWnd::OnIdentSocket(std::unique_ptr<SocketEvent> event,
                                       std::unique_ptr<SocketData> data) {
    if (!event) return;
    if (event->kind == SOCKEVT_CLOSED) {
        m_closing.erase(event->socket);
        return;
    }
    if (!data || !m_socket) return;
    if (m_closing.count(event->socket) != 0) return;

    const int length = std::clamp(data->length, 0, static_cast<int>(sizeof data->data));
    Log(net::DataText(data->data, length));
    if (const auto query = ident::QueryOf(data->data, length)) {
        const std::string reply = ident::BuildReply(*query, m_user);
        // A failed send is not looked at: the connection is closed below either way.
        m_socket->SendOne(reply.data(), static_cast<int>(reply.size()), event->socket);
        Log(ident::BuildReplyLog(static_cast<int>(net::SocketId(event->socket)), reply));
    }
    if (m_socket->CloseConnection(event->socket)) m_closing.insert(event->socket);
}

}  // namespace kestrel
