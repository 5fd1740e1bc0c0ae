#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QString>

// A session bus of the test's own, for as long as this lives.
class PrivateBus final
{
public:
    PrivateBus()
    {
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        QElapsedTimer waited;
        waited.start();
        while (!m_daemon.canReadLine() && waited.elapsed() < 10000 && m_daemon.waitForReadyRead(1000)) {
        }
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    // Empty when no bus could be started.
    QString address() const { return m_address; }

private:
    QProcess m_daemon;
    QString m_address;
};
