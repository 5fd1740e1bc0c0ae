#pragma once

#include "download/cls_download.h"

#include <QString>

// What a front end shows of a transfer: its status texts, its percentage and
// the name a work's file gets. Every front end says the same.
namespace download {

// The status line's text for a stage of Cls_DownLoad. Finished has none of its
// own (whether it was a success depends on the stage before it): see
// finishedText().
QString statusText(Cls_DownLoad::Status status);

// statusText() for a transfer that failed, except that one the server
// answered with 404 or 410 says the work is gone (netcause::workGoneText).
QString failureText(Cls_DownLoad::Status status, int httpStatus);

// Said once a transfer whose body came complete has finished.
QString finishedText();

// downloaded × 100 / size, to the nearest whole number with halves to even;
// 0 without a size, and never above 100.
int percentage(qint64 downloaded, qint64 size);

// writeTags's cause when the code that writes tags could not be loaded
// (`why`: what loading it said); the downloaded file stays as it is.
QString tagModuleMissingText(const QString &why);

// "TITLE - SINGER.mp3", made safe to use as one file name.
QString workFileName(const QString &title, const QString &singer);

} // namespace download
