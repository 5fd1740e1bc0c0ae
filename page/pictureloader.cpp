#include "page/pictureloader.h"

#include "page/pagefetcher.h"

namespace {

QImage pictureIn(const FetchResult &answer)
{
    // An error page is never the picture, whatever its bytes happen to be.
    if (answer.status != FetchStatus::Ok)
        return {};
    return QImage::fromData(answer.body);
}

} // namespace

// The fetcher refuses anything but a web address, so the name a page chose
// never reaches the file system.
QImage LoadPicture(PageFetcher &fetcher, const QString &strFileName)
{
    return pictureIn(fetcher.GetBytes(strFileName));
}

PageRequest *loadPicture(PageFetcher &fetcher, const QString &address, const QObject *receiver,
                         std::function<void(const QImage &)> done)
{
    return fetcher.getBytes(address, receiver,
                            [done = std::move(done)](const FetchResult &answer) { done(pictureIn(answer)); });
}
