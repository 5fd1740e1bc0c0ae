#pragma once

#include "download/batchqueue.h"

#include <QMap>
#include <QString>

namespace cli {

// The lines a terminal shows while a batch runs: one per running transfer and
// a total, redrawn in place below the lines printed above them. Speeds count
// only the bytes that came during this run, so a resumed file is not credited
// with what an earlier run fetched.
class LiveView final
{
public:
    // A transfer reported `received` of `total` bytes (0: length unknown) at `nowMs`.
    void update(const QString &source, const QString &title, qint64 received, qint64 total, qint64 nowMs);
    void remove(const QString &source);

    // The text that puts `above` where the live lines were and draws them
    // again below it, each cut to fit in `columns`.
    QString frame(const download::BatchProgress &progress, qint64 nowMs, int columns, const QString &above);
    // The text that wipes the live lines, leaving the cursor where they began.
    QString clear();
    // The batch's own line: its count, bytes, speed and time left.
    static QString totalLine(const download::BatchProgress &progress, qint64 nowMs);

private:
    struct Running
    {
        QString title;
        qint64 firstReceived = 0, received = 0, total = 0;
        qint64 firstMs = 0;
    };
    static double speed(const Running &running, qint64 nowMs);
    QString transferLine(const Running &running, qint64 nowMs, int columns) const;

    QMap<QString, Running> m_running;
    int m_lines = 0;
};

// 1536 -> "1.5 KiB".
QString bytesText(double bytes);

} // namespace cli
