#pragma once

#include "site/httpserver.h"

#include <QString>

// The replica of the community site: its pages, services and files, served
// from a folder laid out like the site (root/version/main.txt answers
// /version/main.txt, and so on).
HttpHandler replicaSite(const QString &root);

// The Content-Type the replica sends for a file name.
QByteArray contentTypeFor(const QString &fileName);
