#pragma once

#include <QObject>
#include <QString>

#include <array>
#include <memory>

#include "platform/ScreenSaver.h"

class QDBusServiceWatcher;
class QDBusPendingCallWatcher;

namespace kestrel {

// The screen saver of the session bus: the first of the freedesktop, GNOME, MATE and Cinnamon
// services that has an owner. Owners are followed by signals, so with no screen-saver service
// on the bus a poll makes no call at all; with one, each poll starts at most one
// asynchronous GetActive and never waits for it.
class DbusScreenSaver final : public QObject, public ScreenSaver {
    Q_OBJECT
public:
    explicit DbusScreenSaver(QObject* parent = nullptr);
    ~DbusScreenSaver() override;

    bool IsActive() override;
    void Close() override;

    // The service asked, empty when none has an owner (for traces and tests).
    QString CurrentService() const;
    // Calls started so far (tests show that an empty bus costs nothing).
    int CallsMade() const { return m_callsMade; }

private:
    struct Candidate {
        QString service;
        QString path;
        QString altPath;  // second object path some desktops use; empty when none
        bool owned = false;
        bool useAltPath = false;
    };

    void OwnerChanged(const QString& service, const QString& oldOwner, const QString& newOwner);
    void AskOwners();
    Candidate* Current();
    void AskActive(Candidate& c);
    void AnswerArrived(QDBusPendingCallWatcher* call, int index, bool altPath);

    std::array<Candidate, 4> m_candidates;
    QDBusServiceWatcher* m_watcher = nullptr;
    bool m_active = false;
    bool m_pending = false;
    int m_callsMade = 0;
    bool m_connected = false;
};

}  // namespace kestrel
