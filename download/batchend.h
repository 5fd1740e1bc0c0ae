#pragma once

#include "download/batchqueue.h"

namespace download {

// The last line of a batch: batchSummaryText when it ran to its end; when it
// was stopped with `stopped` works left undone, e.g.
// "批量下载已停止: 3 个成功, 0 个失败, 0 个跳过, 7 个停止".
QString batchEndText(const BatchProgress &progress, int stopped);

// Where a batch is while it runs, with the work it is fetching when one is
// named: "正在批量下载 12/50 .. 晴天".
QString batchRunningText(const BatchProgress &progress, const QString &currentWork);

// Where the files of a batch went, to follow its end text: "文件保存在 /home/…/Music".
QString savedInText(const QString &folder);

// Said when a batch or a sync is asked for while another one runs.
QString batchBusyText();

} // namespace download
