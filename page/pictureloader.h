#pragma once

#include <QImage>
#include <QString>

#include <functional>

class PageFetcher;
class PageRequest;
class QObject;

// Loads a picture from an http(s) address. Anything that does not give a
// picture (an empty text, a local path or any other address that is not on
// the web, no answer, an error status, bytes that are not an image) gives an
// empty picture; nothing is ever raised. GIF, JPEG, PNG and BMP at least.
// Waits like a page fetch does.
QImage LoadPicture(PageFetcher &fetcher, const QString &strFileName);

// The same without waiting: `done` gets the picture once it has come, unless
// `receiver` is gone by then. Returns the request under way.
PageRequest *loadPicture(PageFetcher &fetcher, const QString &address, const QObject *receiver,
                         std::function<void(const QImage &)> done);
