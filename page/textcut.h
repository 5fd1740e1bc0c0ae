#pragma once

#include <QString>

#include <optional>

// The only tools pages are cut with: plain, case-sensitive substring searches.
// No HTML parsing and no entity decoding happen here.
namespace textcut {

// The text that follows the first occurrence of `marker`, to the end of `text`;
// nothing when `marker` does not occur (a step built on it fails).
std::optional<QString> after(const QString &text, const QString &marker);

// The text that precedes the first occurrence of `marker`; empty when it does
// not occur. Never fails.
QString before(const QString &text, const QString &marker);

// Piece `index` (from 0) of `text` split at every occurrence of `marker`;
// nothing when there are not that many pieces. Piece 1 is the text after the
// first marker up to the second one (or the end).
std::optional<QString> piece(const QString &text, const QString &marker, int index);

// Removes blanks (code 32 only) at both ends; tabs and line breaks stay.
QString trimBlanks(const QString &text);

} // namespace textcut
