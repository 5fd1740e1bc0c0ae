#pragma once

#include <QString>
#include <QUrl>

// True for an http or https address that names a host: the only kind the
// program reads pages and pictures from or plays. Local files, data:, ftp:,
// resource and device addresses never qualify, whoever supplied them.
inline bool isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme.compare(QLatin1String("http"), Qt::CaseInsensitive) == 0 ||
            scheme.compare(QLatin1String("https"), Qt::CaseInsensitive) == 0);
}

// An address as the user meant it: `text` without the blanks, line breaks,
// no-break spaces and invisible marks (zero-width characters, byte-order
// marks, direction marks) that copying often brings along at either end.
// Characters inside the address are left alone.
inline QString pastedAddress(const QString &text)
{
    const auto stray = [](QChar c) { return c.isSpace() || c.category() == QChar::Other_Format; };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && stray(text.at(begin)))
        ++begin;
    while (end > begin && stray(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}
