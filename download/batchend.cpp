#include "download/batchend.h"

#include <QDir>

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

namespace download {

QString batchRunningText(const BatchProgress &progress, const QString &currentWork)
{
    const QString where = batchStatusText(progress);
    return currentWork.isEmpty() ? where : where + QLatin1Char(' ') + currentWork;
}

QString savedInText(const QString &folder)
{
    return QStringLiteral("文件保存在 %1").arg(QDir::toNativeSeparators(folder));
}

QString batchBusyText()
{
    return QStringLiteral("批量下载正在进行,请等待完成或先停止批量下载 ..");
}

} // namespace download
