#include "cli/downloadcommand.h"

#include <QTextStream>

namespace cli {

int runDownload(const QStringList &)
{
    QTextStream(stderr) << "download: not built yet\n";
    return 2;
}

} // namespace cli
