#pragma once

#include "download/requestpacer.h"

#include <QString>

// What every door (the window, the command line, the timer) shows of a batch
// of works: how each work ended, how far the whole has come, and the texts
// for both, made here so that every front end says the same.
namespace download {

struct WorkOutcome final
{
    enum class Status { Done, Skipped, Failed, Stopped };
    Status status = Status::Failed;
    QString workId; // may be empty when a song page had none
    QString source; // what was queued: a song-page address, a play-address service address, a singer page
    QString title, singer, path;
    QString audio;  // the MP3's address, once its song page named it
    QString reason; // Chinese: for Failed, what went wrong; for Skipped and Done, why, or what happened on
                    // the way (its tags failed, a part started over), when there is more to say
    QString detail; // the cause as the network or the file system gave it; may be English
};

// The one line for a work's failure: its reason, and the detail after it.
QString outcomeText(const WorkOutcome &outcome);

struct BatchProgress final
{
    int done = 0, failed = 0, skipped = 0, stopped = 0;
    int total = 0;           // every work known so far, those skipped included
    bool wasStopped = false; // the run was told to stop
    qint64 bytes = 0;        // that came during this run
    double bytesPerSecond = 0;
    qint64 elapsedMs = 0;
    // The works not ended yet whose length is unknown (not started, or
    // started without one), and what the others still lack, in bytes.
    int lengthsUnknown = 0;
    qint64 bytesLeft = 0;
    WaitReason waitReason = WaitReason::None;
    qint64 waitMs = 0;   // left of the wait
    qint64 pacingMs = 0; // the least time the page requests still to come take, spaced as asked

    // The works of this run that are not already here: skipped ones are no work done.
    int newWorks() const { return total - skipped; }
    int ended() const { return done + failed + stopped; }
};

// "正在批量下载 12/50 .." (of the works not already here), with the wait after
// it while there is one: "正在批量下载 3/10 .. 等待 12 秒 (服务器要求稍后再试)".
QString batchStatusText(const BatchProgress &progress);
// The end-of-batch summary line, e.g. "批量下载完成: 48 个成功, 2 个失败, 0 个跳过";
// a stopped run says so, e.g. "批量下载已停止: 3 个成功, 0 个失败, 0 个跳过, 7 个停止".
QString batchSummaryText(const BatchProgress &progress);
// batchStatusText with the work being fetched after it, when one is named
// and the batch is not waiting: "正在批量下载 12/50 .. 晴天".
QString batchRunningText(const BatchProgress &progress, const QString &currentWork);
// Where the files of a batch went, to follow its summary: "文件保存在 /home/…/Music".
QString savedInText(const QString &folder);
// Said when a batch or a sync is asked for while another one runs.
QString batchBusyText();
// Seconds until the batch should be over, known waits included; -1 while it cannot be told.
qint64 etaSeconds(const BatchProgress &progress);

} // namespace download
