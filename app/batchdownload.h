#pragma once

#include "app/handlers.h"
#include "config/appconfig.h"
#include "config/fileplaces.h"

#include <QPointer>
#include <QStringList>

#include <functional>

class MessageBoxService;
class QAction;
class QTreeWidget;
class QWidget;
struct Form1Ui;

namespace download {
class BatchQueue;
struct BatchProgress;
struct WorkOutcome;
} // namespace download

namespace works {
class FollowSync;
}

// The works list's batch jobs: the chosen works, or all of them, into the
// default download folder, and the sync of the followed singers. One runs at
// a time; the status line shows how far it is and the work it fetches, the
// menu's stop entry ends it, and its end names the folder, with the failures
// in one message box.
class BatchDownloadPanel final : public Handlers
{
public:
    BatchDownloadPanel(const Form1Ui &ui, StatusLine &status, const WindowLife &life, MessageBoxService &messageBox,
                       const AppConfig &config, const FilePlaces &places, QWidget *window);

    void downloadSelected();
    void downloadAll();
    // Ends the job that runs, batch or sync; its transfers keep their .part files.
    void stopBatch();

    // True when a job runs, and the status line then says so.
    bool refuseWhileBusy();
    // What a job tells of itself once it has ended: what failed besides its
    // works, and a text that stands instead of its summary when it did nothing.
    struct Ending final
    {
        QStringList failures;
        QString instead;
    };
    // Runs `sync`, which files its works under `folder`, as the window's job;
    // `ending` is asked once it has ended.
    void runSync(works::FollowSync *sync, const QString &folder, std::function<Ending()> ending);

    // The menu entry that stops a job; shown only while one runs.
    void setStopEntry(QAction *entry);
    QAction *stopEntry() const { return m_stopEntry; }

private:
    void start(const QList<QStringList> &rows);
    template <typename Job> void run(Job *job, const QString &folder, std::function<Ending()> ending);
    void showProgress(const download::BatchProgress &progress);
    void workFinished(const download::WorkOutcome &outcome);
    void jobFinished(const download::BatchProgress &progress, const QList<download::WorkOutcome> &outcomes,
                     const Ending &ending);

    QTreeWidget *const ListView1;
    MessageBoxService &m_messageBox;
    const AppConfig &m_config;
    const FilePlaces &m_places;
    QWidget *const m_window;
    QAction *m_stopEntry = nullptr;

    // The job that runs, and what the status line tells of it.
    QPointer<QObject> m_job;
    std::function<void()> m_stopJob;
    QString m_folder;
    struct Fetching final
    {
        QString source, title;
    };
    QList<Fetching> m_fetching; // the works whose files are coming, the latest to begin last
};
