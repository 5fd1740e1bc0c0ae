#pragma once

#include <QImage>
#include <QString>

class PageFetcher;

// Loads a picture from an http(s) address. Waits like a page fetch does.
// Anything that does not give a picture (an empty text, a local path or any
// other address that is not on the web, no answer, an error status, bytes that
// are not an image) gives an empty picture; nothing is ever raised. GIF, JPEG,
// PNG and BMP at least.
QImage LoadPicture(PageFetcher &fetcher, const QString &strFileName);
