#pragma once

#include "site/httpserver.h"

#include <QString>

// The replica of the community site: its pages, services and files, served
// from a folder laid out like the site (root/version/main.txt answers
// /version/main.txt, and so on). Files are served with their length and
// byte ranges; MP3s asked for with "?framing=chunked" come chunked, with
// neither a length nor ranges.
HttpHandler replicaSite(const QString &root);

// An answer with `body` and an ETag of it that honours a single "Range:
// bytes=FIRST-[LAST]" or "bytes=-SUFFIX" (206 with Content-Range; 416 when it
// starts past the end; anything unreadable, or an If-Range naming another
// tag, gets the whole body) and HEAD.
HttpResponse rangedBody(const HttpRequest &request, const QByteArray &body, const QByteArray &contentType);

// The Content-Type the replica sends for a file name.
QByteArray contentTypeFor(const QString &fileName);
