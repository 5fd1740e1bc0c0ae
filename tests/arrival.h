#pragma once

#include "works/harvest.h"

#include <QString>
#include <QStringView>

// Feeds `page` to `scan` as a download delivers it: in pieces of up to `piece`
// characters, appended to a text that grows (and moves) as it does, then
// finishes the scan. Returns the text as it arrived, equal to `page`.
inline QString arriveInPieces(works::PageScan &scan, const QString &page, qsizetype piece)
{
    QString arrived;
    for (qsizetype at = 0; at < page.size(); at += piece) {
        const qsizetype from = arrived.size();
        arrived += QStringView(page).mid(at, piece);
        scan.feed(arrived, from);
    }
    scan.finish(arrived);
    return arrived;
}
