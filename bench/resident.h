#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// The resident memory of a process (this one by default) in bytes, read from
// /proc (Linux); 0 where that cannot be read.
inline qint64 residentBytes(const QString &pid = QStringLiteral("self"))
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return 0;
}
