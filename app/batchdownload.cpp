#include "app/batchdownload.h"

#include "app/form1ui.h"
#include "app/services.h"
#include "app/tagsmodule.h"
#include "app/workspanel.h"
#include "download/batchqueue.h"
#include "download/jobprogress.h"
#include "works/followsync.h"

#include <QAction>
#include <QTreeWidget>

#include <algorithm>

namespace {

// Column of a listed work that holds its play-address service address.
constexpr int kServiceColumn = 3;

} // namespace

BatchDownloadPanel::BatchDownloadPanel(const Form1Ui &ui, StatusLine &status, const WindowLife &life,
                                       MessageBoxService &messageBox, const AppConfig &config, const FilePlaces &places,
                                       QWidget *window)
    : Handlers(status, life, window)
    , ListView1(ui.ListView1)
    , m_messageBox(messageBox)
    , m_config(config)
    , m_places(places)
    , m_window(window)
{}

void BatchDownloadPanel::setStopEntry(QAction *entry)
{
    m_stopEntry = entry;
    m_stopEntry->setVisible(false);
}

void BatchDownloadPanel::downloadSelected()
{
    start(listedWorks(ListView1, true));
}

void BatchDownloadPanel::downloadAll()
{
    start(listedWorks(ListView1, false));
}

void BatchDownloadPanel::stopBatch()
{
    if (m_job && m_stopJob)
        m_stopJob();
}

bool BatchDownloadPanel::refuseWhileBusy()
{
    if (m_job)
        setStatus(download::batchBusyText());
    return m_job;
}

void BatchDownloadPanel::start(const QList<QStringList> &rows)
{
    if (refuseWhileBusy() || rows.isEmpty())
        return;
    download::BatchOptions options;
    // Where the download panel puts a single work, portable copy or installed;
    // made only once a work is saved there.
    options.folder = m_places.downloadFolder;
    options.tags = std::make_shared<ModuleTags>();
    auto *queue = new download::BatchQueue(m_config, options, this);
    for (const QStringList &row : rows)
        queue->addServiceAddress(row.value(kServiceColumn));
    run(queue, options.folder, {});
}

void BatchDownloadPanel::runSync(works::FollowSync *sync, const QString &folder, std::function<Ending()> ending)
{
    sync->setParent(this);
    run(sync, folder, std::move(ending));
}

template <typename Job> void BatchDownloadPanel::run(Job *job, const QString &folder, std::function<Ending()> ending)
{
    m_job = job;
    m_stopJob = [job] { job->stop(); };
    m_folder = folder;
    m_fetching.clear();
    connect(job, &Job::transferProgress, this, [this, job](const QString &source, const QString &title) {
        const auto same = [&source](const Fetching &work) { return work.source == source; };
        if (std::none_of(m_fetching.cbegin(), m_fetching.cend(), same)) {
            m_fetching.append({source, title});
            showProgress(job->progress());
        }
    });
    connect(job, &Job::workFinished, this, &BatchDownloadPanel::workFinished);
    connect(job, &Job::progressChanged, this, &BatchDownloadPanel::showProgress);
    connect(job, &Job::finished, this, [this, job, ending = std::move(ending)] {
        if (m_job != job)
            return;
        m_job = nullptr;
        m_stopJob = nullptr;
        job->deleteLater();
        jobFinished(job->progress(), job->outcomes(), ending ? ending() : Ending());
    });
    if (m_stopEntry)
        m_stopEntry->setVisible(true);
    showProgress(job->progress());
    job->start();
}

void BatchDownloadPanel::showProgress(const download::BatchProgress &progress)
{
    setStatus(download::batchRunningText(progress, m_fetching.isEmpty() ? QString() : m_fetching.last().title));
}

void BatchDownloadPanel::workFinished(const download::WorkOutcome &outcome)
{
    m_fetching.removeIf([&outcome](const Fetching &work) { return work.source == outcome.source; });
}

void BatchDownloadPanel::jobFinished(const download::BatchProgress &progress,
                                     const QList<download::WorkOutcome> &outcomes, const Ending &ending)
{
    if (m_stopEntry)
        m_stopEntry->setVisible(false);
    if (windowGone())
        return;
    if (!ending.instead.isEmpty()) {
        setStatus(ending.instead);
        return;
    }
    const QString summary = download::batchSummaryText(progress);
    // The folder is named once the job has put something there.
    setStatus(progress.done > 0 ? summary + QStringLiteral(", ") + download::savedInText(m_folder) : summary);

    QStringList failures = ending.failures;
    for (const download::WorkOutcome &outcome : outcomes) {
        if (outcome.status != download::WorkOutcome::Status::Failed)
            continue;
        const QString name = outcome.title.isEmpty() ? outcome.source : outcome.title;
        failures.append(name + QStringLiteral(": ") + download::outcomeText(outcome));
    }
    if (!failures.isEmpty())
        m_messageBox.inform(m_window, boxTitle(), summary + QStringLiteral("\n\n") + failures.join(QLatin1Char('\n')),
                            MessageBoxService::Icon::Warning);
}
