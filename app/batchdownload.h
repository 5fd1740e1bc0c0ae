#pragma once

#include "app/handlers.h"
#include "config/appconfig.h"
#include "config/fileplaces.h"

#include <QPointer>

class MessageBoxService;
class QAction;
class QTreeWidget;
class QWidget;
struct Form1Ui;

namespace download {
class BatchQueue;
}

// The works list's batch downloads: the chosen works, or all of them, into the
// default download folder, several at a time, with the progress on the status
// line and the failures in one message box at the end.
class BatchDownloadPanel final : public Handlers
{
public:
    BatchDownloadPanel(const Form1Ui &ui, StatusLine &status, const WindowLife &life, MessageBoxService &messageBox,
                       const AppConfig &config, const FilePlaces &places, QWidget *window);

    void downloadSelected();
    void downloadAll();
    void stopBatch();

    // The menu entry that stops a batch; shown only while one runs.
    void setStopEntry(QAction *entry);
    QAction *stopEntry() const { return m_stopEntry; }

private:
    void start(const QList<QStringList> &rows);
    void batchFinished();

    QTreeWidget *const ListView1;
    MessageBoxService &m_messageBox;
    const AppConfig &m_config;
    const FilePlaces &m_places;
    QWidget *const m_window;
    QAction *m_stopEntry = nullptr;
    QPointer<download::BatchQueue> m_queue; // while a batch runs
};
