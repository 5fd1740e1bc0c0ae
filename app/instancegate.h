#pragma once

#include "app/services.h"

#include <QDBusConnection>
#include <QList>
#include <QObject>

#include <future>
#include <optional>

class QLocalServer;

// The session bus when the session has one; never starts a bus (nor waits for
// one to start) when it has none.
std::optional<QDBusConnection> sessionBusIfAny();

// The one window found by its name on the session bus, where the desktop's
// own activation finds it too, or, where there is no bus, by a socket in the
// user's runtime folder.
class DesktopInstanceGate final : public QObject, public InstanceGate
{
    Q_OBJECT
public:
    // The bus name, also the menu entry's name.
    static const QString kBusName;

    // `socketPath` empty: the socket in the user's runtime folder.
    explicit DesktopInstanceGate(QString socketPath = QString());
    ~DesktopInstanceGate() override;

    // Starts reaching for the bus name on a thread of its own, so the window
    // can be made meanwhile; claim() takes the answer.
    void prepare();
    Claim claim(const StartRequest &request) override;
    void setRequestHandler(Handler handler) override;

    // A later start's request, as it arrives.
    void receive(const StartRequest &request);

private:
    struct BusName final
    {
        std::optional<QDBusConnection> bus;
        bool held = false;
    };

    // The window that holds the bus name.
    Claim handOverOnBus(QDBusConnection &bus, const StartRequest &request);
    // Nothing when no window listens on the socket.
    std::optional<Claim> handOverOnSocket(const StartRequest &request);
    void listenOnSocket();
    void acceptOnSocket();

    std::future<BusName> m_busName;
    QString m_socketPath;
    QLocalServer *m_server = nullptr;
    Handler m_handler;
    QList<StartRequest> m_waiting;
};
