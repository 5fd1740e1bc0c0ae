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
