#pragma once

#include "app/services.h"

#include <QDBusConnection>
#include <QList>
#include <QObject>

#include <optional>

class QLocalServer;

// The session bus when the session has one; never starts a bus (nor waits for
// one to start) when it has none.
std::optional<QDBusConnection> sessionBusIfAny();

// The one window found by its name on the session bus, where the desktop's
// own activation finds it too, and by a socket in the user's runtime folder,
// for starts that see no bus.
class DesktopInstanceGate final : public QObject, public InstanceGate
{
    Q_OBJECT
public:
    // The bus name, also the menu entry's name.
    static const QString kBusName;

    // `socketPath` empty: the socket in the user's runtime folder.
    explicit DesktopInstanceGate(QString socketPath = QString());
    ~DesktopInstanceGate() override;

    Claim claim(const StartRequest &request) override;
    void setRequestHandler(Handler handler) override;

    // A later start's request, as it arrives.
    void receive(const StartRequest &request);

private:
    // Nothing when no window holds the place.
    std::optional<Claim> handOverOnBus(QDBusConnection &bus, const StartRequest &request);
    std::optional<Claim> handOverOnSocket(const StartRequest &request);
    void listenOnSocket();
    void acceptOnSocket();

    QString m_socketPath;
    QLocalServer *m_server = nullptr;
    Handler m_handler;
    QList<StartRequest> m_waiting;
};
