#pragma once

#include "works/harvest.h"

#include <QStringList>

#include <vector>

// The list filler done the plain way: for every row the whole page is split
// at the id marker and again at the row's full marker. Quadratic, but each
// step reads exactly as the behaviour is described, which makes it the
// reference the fast filler is checked (and timed) against.
namespace literal {

// The marker count as a scan counts it: from each hit on, one character further.
inline qint16 countMarkers(const QString &page)
{
    const QString marker = QStringLiteral("data-id=");
    qint16 count = 0;
    qsizetype position = 0;
    for (;;) {
        const qsizetype found = page.indexOf(marker, position, Qt::CaseSensitive);
        if (found < 0)
            return count;
        if (count < 32767)
            ++count;
        position = found + 1;
    }
}

inline std::vector<works::WorkRow> fillRows(works::HarvestSlots &slot, qint16 markerCount)
{
    const QString q = QStringLiteral("\"");
    std::vector<works::WorkRow> rows;
    for (int i = 1; i <= markerCount - 1; ++i) {
        const QStringList pieces = slot[0].split(QStringLiteral("data-id=") + q, Qt::KeepEmptyParts);
        if (i < pieces.size())
            slot[1] = pieces[i];

        const qsizetype quote = slot[1].indexOf(q);
        slot[2] = quote < 0 ? QString() : slot[1].left(quote);

        const QStringList around = slot[0].split(QStringLiteral("data-id=") + q + slot[2] + q + QStringLiteral(">"));
        if (around.size() > 1)
            slot[3] = around[1];

        const qsizetype lessThan = slot[3].indexOf(QStringLiteral("<"));
        slot[4] = lessThan < 0 ? QString() : slot[3].left(lessThan);

        rows.push_back({i, slot[2], slot[4]});
    }
    return rows;
}

} // namespace literal
