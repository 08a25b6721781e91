#include "desktop/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace kestrel {

QString InstanceSocketName(const QString& title) {
    QString name = title;
    name.replace(QLatin1Char(' '), QLatin1Char('_'));
    return QStringLiteral("%1-%2").arg(name).arg(static_cast<qulonglong>(getuid()));
}

SingleInstance::SingleInstance() = default;
SingleInstance::~SingleInstance() = default;

bool SingleInstance::AnyRunning(const std::vector<QString>& titles) {
    for (const QString& title : titles) {
        QLocalSocket probe;
        probe.connectToServer(InstanceSocketName(title));
        if (probe.waitForConnected(500)) {
            probe.disconnectFromServer();
            return true;
        }
    }
    return false;
}

bool SingleInstance::Claim(const QString& title) {
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString name = InstanceSocketName(title);
    if (m_server->listen(name)) return true;
    // Nobody answered AnyRunning(), so a socket file left here belongs to a copy that died.
    QLocalServer::removeServer(name);
    return m_server->listen(name);
}

}  // namespace kestrel
