#include "app/batchdownload.h"

#include "app/form1ui.h"
#include "app/services.h"
#include "app/tagsmodule.h"
#include "app/workspanel.h"
#include "download/batchqueue.h"

#include <QAction>
#include <QDir>
#include <QTreeWidget>

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
    if (m_queue)
        m_queue->stop();
}

void BatchDownloadPanel::start(const QList<QStringList> &rows)
{
    // One batch at a time; its stop entry is in the same menu.
    if (m_queue || rows.isEmpty())
        return;

    download::BatchOptions options;
    // The single-work download's default folder.
    // Where the download panel puts a single work, portable copy or installed.
    options.folder = m_places.downloadFolder;
    options.tags = std::make_shared<ModuleTags>();

    m_queue = new download::BatchQueue(m_config, options, this);
    for (const QStringList &row : rows)
        m_queue->addServiceAddress(row.value(kServiceColumn));
    connect(m_queue, &download::BatchQueue::progressChanged, this,
            [this](const download::BatchProgress &progress) { setStatus(download::batchStatusText(progress)); });
    connect(m_queue, &download::BatchQueue::finished, this, &BatchDownloadPanel::batchFinished);
    if (m_stopEntry)
        m_stopEntry->setVisible(true);
    setStatus(download::batchStatusText(m_queue->progress()));
    m_queue->start();
}

void BatchDownloadPanel::batchFinished()
{
    download::BatchQueue *queue = m_queue;
    if (!queue)
        return;
    m_queue = nullptr;
    queue->deleteLater();
    if (m_stopEntry)
        m_stopEntry->setVisible(false);
    if (windowGone())
        return;
    setStatus(download::batchSummaryText(queue->progress()));

    QStringList failures;
    for (const download::WorkOutcome &outcome : queue->outcomes()) {
        if (outcome.status != download::WorkOutcome::Status::Failed)
            continue;
        const QString name = outcome.title.isEmpty() ? outcome.source : outcome.title;
        failures.append(name + QStringLiteral(": ") + download::outcomeText(outcome));
    }
    if (!failures.isEmpty())
        m_messageBox.inform(m_window, boxTitle(),
                            download::batchSummaryText(queue->progress()) + QStringLiteral("\n\n") +
                                failures.join(QLatin1Char('\n')),
                            MessageBoxService::Icon::Warning);
}
