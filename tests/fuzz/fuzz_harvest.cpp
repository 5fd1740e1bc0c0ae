// Singer pages of any shape: the fast list filler must give exactly what the
// plain one gives (rows and slots), and the marker count must agree, even with
// slots left over from the page before; so must the filler that read the page
// while it arrived, in pieces.

#include "arrival.h"
#include "literalfill.h"
#include "works/harvest.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const qsizetype split = text.indexOf(QLatin1String("\n=====\n"));
    const QString pages[] = {split < 0 ? text : text.left(split), split < 0 ? QString() : text.mid(split + 7)};

    works::HarvestSlots fast{};
    works::HarvestSlots plain{};
    works::HarvestSlots streamed{};
    const qsizetype piece = 1 + qsizetype(size % 13);
    for (const QString &page : pages) {
        fast[0] = plain[0] = page;
        works::PageScan scan;
        streamed[0] = arriveInPieces(scan, page, piece);
        const qint16 count = works::countMarkers(page);
        if (count != literal::countMarkers(page) || count != scan.markerCount())
            std::abort();
        // The plain filler is quadratic; keep its share of the run small.
        if (count > 400)
            continue;
        const std::vector<works::WorkRow> fastRows = works::fillRows(fast, count);
        const std::vector<works::WorkRow> plainRows = literal::fillRows(plain, count);
        const std::vector<works::WorkRow> streamedRows = works::fillRows(streamed, count, scan);
        if (fastRows.size() != plainRows.size() || streamedRows.size() != plainRows.size() || fast != plain ||
            streamed != plain)
            std::abort();
        for (size_t i = 0; i < fastRows.size(); ++i) {
            for (const works::WorkRow *row : {&fastRows[i], &streamedRows[i]}) {
                if (row->number != plainRows[i].number || row->id != plainRows[i].id ||
                    row->title != plainRows[i].title)
                    std::abort();
            }
        }
    }
    return 0;
}
