#include "app/instancegate.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

#include <future>
#include <utility>

const QString DesktopInstanceGate::kBusName = QStringLiteral("io.github.cantora_helper.CantoraHelper");

namespace {

const QString kObjectPath = QStringLiteral("/io/github/cantora_helper/CantoraHelper");
const QString kInterface = QStringLiteral("org.freedesktop.Application");
const QString kTokenKey = QStringLiteral("activation-token");
const QString kAddressKey = QStringLiteral("address");

// How long a start waits for the running window to take its request.
constexpr int kAnswerWaitMs = 5000;
// A request is an address and a token; anything longer is not one.
constexpr qint64 kRequestMax = 64 * 1024;
const QByteArray kTaken = QByteArrayLiteral("ok\n");

QString tokenIn(const QVariantMap &platformData)
{
    return platformData.value(kTokenKey).toString();
}

} // namespace

std::optional<QDBusConnection> sessionBusIfAny()
{
    // Without an address the bus library would try to launch a bus of its
    // own: slow, and a bus nobody else listens on.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") &&
        (runtime.isEmpty() || !QFileInfo::exists(runtime + QStringLiteral("/bus"))))
        return std::nullopt;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return std::nullopt;
    return bus;
}

// The desktop's way to ask a program for its window, with or without files.
class ApplicationAdaptor final : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    explicit ApplicationAdaptor(DesktopInstanceGate *gate)
        : QDBusAbstractAdaptor(gate)
        , m_gate(gate)
    {}

public slots:
    void Activate(const QVariantMap &platformData) { m_gate->receive({QString(), tokenIn(platformData)}); }
    // One address at a time is looked up: the first.
    void Open(const QStringList &uris, const QVariantMap &platformData)
    {
        m_gate->receive({uris.value(0), tokenIn(platformData)});
    }
    void ActivateAction(const QString &, const QVariantList &, const QVariantMap &platformData)
    {
        Activate(platformData);
    }

private:
    DesktopInstanceGate *const m_gate;
};

DesktopInstanceGate::DesktopInstanceGate(QString socketPath)
    : m_socketPath(std::move(socketPath))
{
    if (m_socketPath.isEmpty())
        m_socketPath = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
                       QStringLiteral("/cantora-helper.socket");
}

DesktopInstanceGate::~DesktopInstanceGate() = default;

void DesktopInstanceGate::prepare()
{
    if (m_busName.valid())
        return;
    // The object is there before the name, so a start that finds the name
    // finds someone to answer it. Calls to it wait for this thread's loop.
    new ApplicationAdaptor(this);
    m_busName = std::async(std::launch::async, [this]() -> BusName {
        BusName name{sessionBusIfAny(), false};
        if (!name.bus || !name.bus->registerObject(kObjectPath, this))
            return {};
        const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = name.bus->interface()->registerService(
            kBusName, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
        if (!reply.isValid())
            return {};
        name.held = reply.value() == QDBusConnectionInterface::ServiceRegistered;
        return name;
    });
}

InstanceGate::Claim DesktopInstanceGate::claim(const StartRequest &request)
{
    prepare();
    BusName name = m_busName.get();
    // Where there is a bus, the name alone decides: a session of its own (a
    // test's, a benchmark's) never reaches into the user's window.
    if (name.bus)
        return name.held ? Claim::First : handOverOnBus(*name.bus, request);
    if (const std::optional<Claim> held = handOverOnSocket(request))
        return *held;
    listenOnSocket();
    return Claim::First;
}

InstanceGate::Claim DesktopInstanceGate::handOverOnBus(QDBusConnection &bus, const StartRequest &request)
{
    bus.unregisterObject(kObjectPath);
    const bool open = !request.address.isEmpty();
    QDBusMessage call = QDBusMessage::createMethodCall(kBusName, kObjectPath, kInterface,
                                                       open ? QStringLiteral("Open") : QStringLiteral("Activate"));
    QVariantMap platformData;
    if (!request.activationToken.isEmpty())
        platformData.insert(kTokenKey, request.activationToken);
    if (open)
        call << QStringList{request.address};
    call << platformData;
    const QDBusMessage answer = bus.call(call, QDBus::Block, kAnswerWaitMs);
    return answer.type() == QDBusMessage::ReplyMessage ? Claim::HandedOver : Claim::Unanswered;
}

std::optional<InstanceGate::Claim> DesktopInstanceGate::handOverOnSocket(const StartRequest &request)
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    // A socket left behind by a window that was killed refuses at once.
    if (!socket.waitForConnected(kAnswerWaitMs))
        return std::nullopt;
    QJsonObject asked{{kAddressKey, request.address}, {kTokenKey, request.activationToken}};
    socket.write(QJsonDocument(asked).toJson(QJsonDocument::Compact) + '\n');
    while (socket.bytesAvailable() < kTaken.size() && socket.waitForReadyRead(kAnswerWaitMs)) {
    }
    return socket.read(kTaken.size()) == kTaken ? Claim::HandedOver : Claim::Unanswered;
}

void DesktopInstanceGate::listenOnSocket()
{
    // The runtime folder is the user's alone (Qt makes its stand-in so too),
    // which keeps others off the socket.
    m_server = new QLocalServer(this);
    // Nobody answered on it: whatever is there was left by a window that ended.
    QLocalServer::removeServer(m_socketPath);
    if (!m_server->listen(m_socketPath))
        return;
    connect(m_server, &QLocalServer::newConnection, this, &DesktopInstanceGate::acceptOnSocket);
}

void DesktopInstanceGate::acceptOnSocket()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // One that says nothing is let go.
        QTimer::singleShot(kAnswerWaitMs, socket, [socket] { socket->abort(); });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > kRequestMax)
                    socket->abort();
                return;
            }
            const QJsonObject asked = QJsonDocument::fromJson(socket->readLine(kRequestMax)).object();
            socket->write(kTaken);
            socket->disconnectFromServer();
            receive({asked.value(kAddressKey).toString(), asked.value(kTokenKey).toString()});
        });
    }
}

void DesktopInstanceGate::setRequestHandler(Handler handler)
{
    m_handler = std::move(handler);
    const QList<StartRequest> waiting = std::exchange(m_waiting, {});
    for (const StartRequest &request : waiting)
        receive(request);
}

void DesktopInstanceGate::receive(const StartRequest &request)
{
    if (!m_handler) {
        m_waiting.append(request);
        return;
    }
    // Never inside the bus's or the socket's own call: the window may wait.
    QTimer::singleShot(0, this, [this, request] {
        if (m_handler)
            m_handler(request);
    });
}

#include "instancegate.moc"
