#pragma once

#include <QObject>

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_set>

#include "net/WorkerContext.h"

#include "platform/Timing.h"

namespace kestrel {

class CNetSocket;
struct SocketData;
struct SocketEvent;

// The hidden "Identification Window": answers ident queries on its port with the logged-in
// user's name. Each connection's first data get one reply line built from them, and the
// connection is closed right after; the query is neither parsed nor checked.
class CIdentificationWnd final : public QObject {
public:
    explicit CIdentificationWnd(const WorkerContext& context, QObject* parent = nullptr,
                                const Timing& timing = ProgramTiming());
    ~CIdentificationWnd() override;

    // Listen on port (0: a port the system picks) and answer with user from now on. False
    // when the port cannot be opened.
    bool Start(int port, const std::string& user);

    // The port listened on; 0 before a successful Start.
    int Port() const;
    // Connections accepted and not yet closed.
    std::size_t OpenConnections() const;

protected:
    void customEvent(QEvent* e) override;

private:
    void OnIdentSocket(std::unique_ptr<SocketEvent> event, std::unique_ptr<SocketData> data);
    void Log(std::string_view text);

    WorkerContext m_context;
    const Timing m_timing;
    std::unique_ptr<CNetSocket> m_socket;
    std::string m_user;
    // Connections this window has closed whose closed event has not come back yet. Data
    // events of theirs still in the queue are left over from before the close, and their
    // identity may already belong to a newly accepted connection, so they are dropped.
    std::unordered_set<const void*> m_closing;
};

}  // namespace kestrel
