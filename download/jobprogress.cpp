#include "download/jobprogress.h"

#include <QDir>

#include <algorithm>
#include <cmath>

namespace download {

QString outcomeText(const WorkOutcome &outcome)
{
    if (outcome.detail.isEmpty())
        return outcome.reason;
    return outcome.reason.isEmpty() ? outcome.detail
                                    : outcome.reason + QStringLiteral(" (") + outcome.detail + QLatin1Char(')');
}

QString batchStatusText(const BatchProgress &progress)
{
    QString text = QStringLiteral("正在批量下载 %1/%2 ..").arg(progress.ended()).arg(progress.newWorks());
    if (progress.waitReason != WaitReason::None)
        text += QLatin1Char(' ') + waitText(progress.waitMs, progress.waitReason);
    return text;
}

QString batchSummaryText(const BatchProgress &progress)
{
    if (!progress.wasStopped && progress.stopped == 0)
        return QStringLiteral("批量下载完成: %1 个成功, %2 个失败, %3 个跳过")
            .arg(progress.done)
            .arg(progress.failed)
            .arg(progress.skipped);
    return QStringLiteral("批量下载已停止: %1 个成功, %2 个失败, %3 个跳过, %4 个停止")
        .arg(progress.done)
        .arg(progress.failed)
        .arg(progress.skipped)
        .arg(progress.stopped);
}

QString batchRunningText(const BatchProgress &progress, const QString &currentWork)
{
    const QString where = batchStatusText(progress);
    // A wait says what holds the batch; no work is being fetched meanwhile.
    if (currentWork.isEmpty() || progress.waitReason != WaitReason::None)
        return where;
    return where + QLatin1Char(' ') + currentWork;
}

QString savedInText(const QString &folder)
{
    return QStringLiteral("文件保存在 %1").arg(QDir::toNativeSeparators(folder));
}

QString batchBusyText()
{
    return QStringLiteral("批量下载正在进行,请等待完成或先停止批量下载 ..");
}

qint64 etaSeconds(const BatchProgress &progress)
{
    const int pending = progress.newWorks() - progress.ended();
    if (pending <= 0)
        return 0;
    const qint64 wait = (progress.waitMs + 999) / 1000;
    const qint64 pacing = (progress.pacingMs + 999) / 1000;
    // Every length known: what is left at the speed so far.
    if (progress.lengthsUnknown == 0 && progress.bytesPerSecond > 0)
        return qint64(std::ceil(double(progress.bytesLeft) / progress.bytesPerSecond)) + wait;
    // Else the time each work has taken, skipped ones left out.
    const int worked = progress.done + progress.failed;
    if (worked == 0)
        return -1;
    return std::max(progress.elapsedMs * pending / worked / 1000, pacing) + wait;
}

} // namespace download
