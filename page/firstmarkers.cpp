#include "page/firstmarkers.h"

#include <algorithm>
#include <utility>

FirstMarkers::FirstMarkers(QStringList markers)
    : m_markers(std::move(markers))
    , m_at(size_t(m_markers.size()), -1)
{}

void FirstMarkers::feed(const QString &text, qsizetype)
{
    for (qsizetype i = 0; i < m_markers.size(); ++i) {
        if (m_at[size_t(i)] >= 0)
            continue;
        const QString &marker = m_markers[i];
        // One that began in the text before and ends in the new part counts too.
        const qsizetype from = std::max<qsizetype>(0, m_fed - marker.size() + 1);
        m_at[size_t(i)] = marker.isEmpty() ? 0 : text.indexOf(marker, from, Qt::CaseSensitive);
    }
    m_fed = text.size();
}

qsizetype FirstMarkers::firstIn(QStringView page, QStringView marker) const
{
    const qsizetype known = page.size() == m_fed ? m_markers.indexOf(marker) : -1;
    if (known < 0)
        return page.indexOf(marker, 0, Qt::CaseSensitive);
    return m_at[size_t(known)];
}
