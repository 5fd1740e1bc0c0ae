#pragma once

#include <QStringList>

namespace cli {

// `cantora-cli download ...`; `arguments` are the words after "download".
// Returns the exit status.
int runDownload(const QStringList &arguments);

} // namespace cli
