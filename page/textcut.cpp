#include "page/textcut.h"

namespace textcut {

std::optional<QStringView> after(QStringView text, QStringView marker)
{
    const qsizetype at = text.indexOf(marker, 0, Qt::CaseSensitive);
    if (at < 0)
        return std::nullopt;
    return text.mid(at + marker.size());
}

QStringView before(QStringView text, QStringView marker)
{
    const qsizetype at = text.indexOf(marker, 0, Qt::CaseSensitive);
    return at < 0 ? QStringView() : text.left(at);
}

std::optional<QStringView> piece(QStringView text, QStringView marker, int index)
{
    if (index < 0)
        return std::nullopt;
    if (marker.isEmpty())
        return index == 0 ? std::optional<QStringView>(text) : std::nullopt;
    qsizetype start = 0;
    for (int i = 0; i < index; ++i) {
        const qsizetype at = text.indexOf(marker, start, Qt::CaseSensitive);
        if (at < 0)
            return std::nullopt;
        start = at + marker.size();
    }
    const qsizetype end = text.indexOf(marker, start, Qt::CaseSensitive);
    return end < 0 ? text.mid(start) : text.mid(start, end - start);
}

QStringView trimBlanks(QStringView text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

} // namespace textcut
