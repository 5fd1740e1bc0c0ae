#pragma once

#include <QNetworkReply>
#include <QString>

// Short, readable causes of network failures, for a tool tip, a message box's
// details or a line on the terminal. Each names the kind of failure in Chinese
// and keeps the network layer's own words after it, which name the host.
namespace netcause {

// Why a request that got no usable answer failed.
QString ofReply(QNetworkReply::NetworkError error, const QString &errorString);

// The server answered, with an error status.
QString ofHttpStatus(int status);

// The server kept silent past the time limit.
QString timedOut();

// Whether an HTTP status says that the site no longer has the thing asked for
// (404 Not Found, 410 Gone): for a work's page or its MP3, the work is gone.
bool meansGone(int httpStatus);

// Said, in place of a network failure, when a work's page or MP3 is gone.
QString workGoneText();

} // namespace netcause
