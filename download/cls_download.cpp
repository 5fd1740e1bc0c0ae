#include "download/cls_download.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>

namespace {

// The longest a transfer goes without letting the window's timers and input in.
constexpr qint64 kFullTurnMs = 1;

} // namespace

Cls_DownLoad::Cls_DownLoad(QObject *parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
    , m_transfer(new download::Transfer(m_network, this))
{
    // The window takes its turn after every block, as it always has: what was
    // posted to it (a click's consequences, a repaint, queued calls) at once,
    // and its timers, sockets and input every millisecond or so, which spares
    // each 512-byte block a round through the system's event queue.
    m_transfer->setBetweenBlocks([turns = QElapsedTimer()]() mutable {
        QCoreApplication::sendPostedEvents();
        if (!turns.isValid() || turns.elapsed() >= kFullTurnMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            turns.start();
        }
    });
    connect(m_transfer, &download::Transfer::stage, this, &Cls_DownLoad::status);
}

Cls_DownLoad::~Cls_DownLoad() = default;

qint64 Cls_DownLoad::DLFile(const QString &sRemoteURL, const QString &sLocalFilePath, int lTimeOut)
{
    if (m_running)
        return 0;
    m_running = true;

    QEventLoop loop;
    Status end = Status::Stopped;
    const auto progress = connect(m_transfer, &download::Transfer::progress, this, [&](qint64 written, qint64 size) {
        emit entDLFileDowning(sRemoteURL, written, size, m_transfer->speed());
    });
    const auto finished = connect(m_transfer, &download::Transfer::finished, &loop, [&](Status how) {
        end = how;
        loop.quit();
    });
    m_transfer->start(sRemoteURL, sLocalFilePath, lTimeOut);
    if (m_transfer->isRunning())
        loop.exec(QEventLoop::AllEvents);
    // The loop also ends when the application ends every event loop on its way out.
    m_transfer->stop();
    disconnect(progress);
    disconnect(finished);

    status(end);
    status(Status::Finished);
    m_running = false;
    return m_transfer->written();
}

void Cls_DownLoad::DLFileStop()
{
    if (m_running)
        m_transfer->stop();
}

QString Cls_DownLoad::lastError() const
{
    return m_transfer->failure();
}
