#include "download/batchend.h"

namespace download {

QString batchEndText(const BatchProgress &progress, int stopped)
{
    if (stopped <= 0)
        return batchSummaryText(progress);
    return QStringLiteral("批量下载已停止: %1 个成功, %2 个失败, %3 个跳过, %4 个停止")
        .arg(progress.done)
        .arg(progress.failed)
        .arg(progress.skipped)
        .arg(stopped);
}

} // namespace download
