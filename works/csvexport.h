#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The works list as a CSV file, the same from the window and the command line.
namespace works {

// The header row of an exported list: number, id, title, play-address service address.
QStringList exportColumns();

// `records` under `header` as RFC 4180 text in UTF-8 (no byte-order mark):
// CRLF after every row, a field quoted when it holds a comma, a double quote,
// CR or LF, its quotes doubled.
QByteArray toCsv(const QStringList &header, const QList<QStringList> &records);

// The status line after an export of `count` works, and the notice when the
// file could not be written.
QString exportedText(int count);
QString exportFailedText(const QString &cause);

} // namespace works
