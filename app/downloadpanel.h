#pragma once

#include "app/handlers.h"
#include "config/fileplaces.h"
#include "page/songlookup.h"

class ClipboardService;
class Cls_DownLoad;
class ImageButton;
class Label;
class Launcher;
class MessageBoxService;
class Panel;
class QProgressBar;
class QPushButton;
class QWidget;
class SaveDialogService;
struct Form1Ui;
struct SaveDialogSettings;

// The download panel: the target file, the start/stop button, the progress
// and status display, and copying the audio address.
class DownloadPanel final : public Handlers
{
public:
    struct Services
    {
        MessageBoxService &messageBox;
        SaveDialogService &saveDialog;
        ClipboardService &clipboard;
        Launcher &launcher;
    };

    DownloadPanel(const Form1Ui &ui, StatusLine &status, const WindowLife &life, Services services,
                  const FilePlaces &places, const SongRecord &song, QWidget *window);

    // The window's one downloader; set once, when the window loads.
    void setDownloader(Cls_DownLoad *downloader) { Cdf = downloader; }

    // How long, in milliseconds, a transfer may wait for an answer or for more
    // of its body before it asks again or gives up.
    int DownloadTimeOut = 10000;
    // The file the next transfer writes to; empty until the download button.
    QString downloadPath() const { return m_downloadPath; }

    void Command2_Click();
    void Command1_Click();
    void Command6_Click();
    void Command13_Click();
    void aicAlphaImage4_Click();
    void Cdf_entDLFileDowning(const QString &sRemoteURL, qint64 lDownLoaded, qint64 lFilesize, qint64 lSpeed);
    void Cdf_entDLFileStatus(int TmpState);

private:
    QString downloadFileName() const;
    int width() const;
    int height() const;

    QPushButton *const Command2;
    QPushButton *const Command6;
    Label *const Label2;
    Panel *const Picture3;
    Label *const Label13;
    Label *const Label16;
    Label *const Label17;
    QProgressBar *const ProgressBar1;
    const SaveDialogSettings &C1;
    Cls_DownLoad *Cdf = nullptr;

    Services m_services;
    const FilePlaces &m_places;
    const SongRecord &m_song;
    QWidget *const m_window;
    QString m_downloadPath;
    int m_lastDownloadStatus = 0;
};
