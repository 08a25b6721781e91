// A stand-in reader program: owns "dde.<service>" on the session bus, serves
// "dde.Conversation" at "/<topic>" and appends every transaction to a log file as
//   pid <n> | ready | execute <hex bytes> | request <hex of the item's UTF-8>
// Options: --service S --topic T --log FILE [--reply HEX] [--stall-ms N]
// It quits when its bus goes away, so a test's private bus takes it along.
#include <QByteArray>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QFile>
#include <QTimer>

#include <cstdio>

namespace {

class Log {
public:
    explicit Log(QString path) : m_path(std::move(path)) {}
    void Line(const QByteArray& line) {
        QFile f(m_path);
        if (f.open(QIODevice::Append)) f.write(line + '\n');
    }

private:
    QString m_path;
};

class Conversation final : public QDBusVirtualObject {
public:
    Conversation(Log& log, QByteArray reply, int stallMs)
        : m_log(log), m_reply(std::move(reply)), m_stallMs(stallMs) {}

    QString introspect(const QString&) const override {
        return QStringLiteral(
            "<interface name=\"dde.Conversation\">"
            "<method name=\"Execute\"><arg name=\"command\" type=\"ay\" direction=\"in\"/></method>"
            "<method name=\"Request\"><arg name=\"item\" type=\"s\" direction=\"in\"/>"
            "<arg name=\"data\" type=\"ay\" direction=\"out\"/></method>"
            "</interface>");
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.interface() != QLatin1String("dde.Conversation")) return false;
        QDBusMessage reply;
        if (message.member() == QLatin1String("Execute") &&
            message.signature() == QLatin1String("ay")) {
            m_log.Line("execute " + message.arguments().constFirst().toByteArray().toHex());
            reply = message.createReply();
        } else if (message.member() == QLatin1String("Request") &&
                   message.signature() == QLatin1String("s")) {
            m_log.Line("request " + message.arguments().constFirst().toString().toUtf8().toHex());
            reply = message.createReply(QVariant(m_reply));
        } else {
            return false;
        }
        if (m_stallMs > 0) {
            QDBusConnection bus = connection;
            QTimer::singleShot(m_stallMs, [bus, reply]() mutable { bus.send(reply); });
        } else {
            QDBusConnection(connection).send(reply);
        }
        return true;
    }

private:
    Log& m_log;
    QByteArray m_reply;
    int m_stallMs;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString service, topic, logPath;
    QByteArray reply;
    int stallMs = 0;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString& key = args[i];
        const QString& value = args[i + 1];
        if (key == QLatin1String("--service"))
            service = value;
        else if (key == QLatin1String("--topic"))
            topic = value;
        else if (key == QLatin1String("--log"))
            logPath = value;
        else if (key == QLatin1String("--reply"))
            reply = QByteArray::fromHex(value.toLatin1());
        else if (key == QLatin1String("--stall-ms"))
            stallMs = value.toInt();
    }
    if (service.isEmpty() || topic.isEmpty() || logPath.isEmpty()) {
        std::fprintf(stderr, "usage: fake_reader --service S --topic T --log FILE\n");
        return 2;
    }
    Log log(logPath);
    log.Line("pid " + QByteArray::number(QCoreApplication::applicationPid()));

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return 3;
    Conversation conversation(log, reply, stallMs);
    if (!bus.registerVirtualObject(QLatin1Char('/') + topic, &conversation)) return 4;
    if (!bus.registerService(QLatin1String("dde.") + service)) return 5;
    log.Line("ready");

    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!QDBusConnection::sessionBus().isConnected()) app.quit();
    });
    watch.start(100);
    // Never outlive a forgotten test by much.
    QTimer::singleShot(120000, &app, &QCoreApplication::quit);
    return app.exec();
}
