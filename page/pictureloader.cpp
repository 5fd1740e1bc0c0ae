#include "page/pictureloader.h"

#include "page/pagefetcher.h"

#include <QUrl>

QImage LoadPicture(PageFetcher &fetcher, const QString &strFileName)
{
    if (strFileName.trimmed().isEmpty())
        return {};

    const QUrl url(strFileName, QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
        const FetchResult answer = fetcher.GetBytes(strFileName);
        // An error page is never the picture, whatever its bytes happen to be.
        if (answer.status != FetchStatus::Ok)
            return {};
        return QImage::fromData(answer.body);
    }
    if (scheme == QLatin1String("file"))
        return QImage(url.toLocalFile());
    return QImage(strFileName);
}
