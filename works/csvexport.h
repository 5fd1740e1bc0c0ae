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
// CRLF after every row, a field quoted when it holds a comma or a double
// quote, its quotes doubled. Control characters other than tab are dropped,
// and a field that starts with = + - @ or a tab gets a leading ' so that a
// spreadsheet shows it rather than runs it.
QByteArray toCsv(const QStringList &header, const QList<QStringList> &records);

// The status line after an export of `count` works, and the notice when the
// file could not be written.
QString exportedText(int count);
QString exportFailedText(const QString &cause);

} // namespace works
