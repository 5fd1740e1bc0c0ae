#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// The only tools pages are cut with: plain, case-sensitive substring searches.
// No HTML parsing and no entity decoding happen here. Results are views into
// the text they were cut from, so cutting copies nothing; the caller keeps
// that text alive for as long as it reads them.
namespace textcut {

// The text that follows the first occurrence of `marker`, to the end of `text`;
// nothing when `marker` does not occur (a step built on it fails).
std::optional<QStringView> after(QStringView text, QStringView marker);

// The text that precedes the first occurrence of `marker`; empty when it does
// not occur. Never fails.
QStringView before(QStringView text, QStringView marker);

// Piece `index` (from 0) of `text` split at every occurrence of `marker`;
// nothing when there are not that many pieces. Piece 1 is the text after the
// first marker up to the second one (or the end).
std::optional<QStringView> piece(QStringView text, QStringView marker, int index);

// Removes blanks (code 32 only) at both ends; tabs and line breaks stay.
QStringView trimBlanks(QStringView text);

} // namespace textcut
