// Singer pages of any shape: the fast list filler must give exactly what the
// plain one gives (rows and slots), and the marker count must agree, even with
// slots left over from the page before.

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
    for (const QString &page : pages) {
        fast[0] = plain[0] = page;
        const qint16 count = works::countMarkers(page);
        if (count != literal::countMarkers(page))
            std::abort();
        // The plain filler is quadratic; keep its share of the run small.
        if (count > 400)
            continue;
        const std::vector<works::WorkRow> fastRows = works::fillRows(fast, count);
        const std::vector<works::WorkRow> plainRows = literal::fillRows(plain, count);
        if (fastRows.size() != plainRows.size() || fast != plain)
            std::abort();
        for (size_t i = 0; i < fastRows.size(); ++i) {
            if (fastRows[i].number != plainRows[i].number || fastRows[i].id != plainRows[i].id ||
                fastRows[i].title != plainRows[i].title)
                std::abort();
        }
    }
    return 0;
}
