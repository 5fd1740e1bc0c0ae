#pragma once

#include "download/batchqueue.h"

namespace download {

// The last line of a batch: batchSummaryText when it ran to its end; when it
// was stopped with `stopped` works left undone, e.g.
// "批量下载已停止: 3 个成功, 0 个失败, 0 个跳过, 7 个停止".
QString batchEndText(const BatchProgress &progress, int stopped);

} // namespace download
