#pragma once

#include <QString>

#include <memory>
#include <vector>

class QLocalServer;

namespace kestrel {

// Stands in for the search of top-level windows by title: a running copy listens on a
// per-user local socket under its main window title; a starting copy tries to connect.
class SingleInstance {
public:
    SingleInstance();
    ~SingleInstance();

    // True when a program is listening under any of the titles.
    static bool AnyRunning(const std::vector<QString>& titles);
    // Claim the title for this process (a stale socket of a dead copy is removed first).
    bool Claim(const QString& title);

private:
    std::unique_ptr<QLocalServer> m_server;
};

// The socket name used for a title, unique per user.
QString InstanceSocketName(const QString& title);

}  // namespace kestrel
