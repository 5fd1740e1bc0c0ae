#include "page/pictureloader.h"

#include "page/pagefetcher.h"

QImage LoadPicture(PageFetcher &fetcher, const QString &strFileName)
{
    // The fetcher refuses anything but a web address, so the name a page
    // chose never reaches the file system.
    const FetchResult answer = fetcher.GetBytes(strFileName);
    // An error page is never the picture, whatever its bytes happen to be.
    if (answer.status != FetchStatus::Ok)
        return {};
    return QImage::fromData(answer.body);
}
