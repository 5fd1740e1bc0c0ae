#pragma once

#include "app/chrome.h"
#include "app/form1ui.h"
#include "app/handlers.h"
#include "app/services.h"
#include "config/appconfig.h"
#include "config/fileplaces.h"
#include "page/songlookup.h"
#include "update/retryschedule.h"
#include "update/updatecheck.h"

#include <QWidget>

#include <optional>
#include <utility>

class BatchDownloadPanel;
class FollowPanel;
class Cls_DownLoad;
class DownloadPanel;
class PageFetcher;
class PlayerPanel;
class QTimer;
class ShellPanel;
class SongPanel;
class VideoPanel;
class WorksPanel;

// The main window. It owns every piece of the program's state: its controls
// (Form1Ui), the song record, the downloader and the handler classes that act
// on them. Form1::connectHandlers() is the one table from control events to
// handlers.
class Form1 final : public QWidget, public Form1Ui
{
    Q_OBJECT
public:
    static constexpr int kClientWidth = 1063;
    static constexpr int kClientHeight = 575;

    Form1(AppConfig config, Platform platform, QWidget *parent = nullptr);
    ~Form1() override;

    // Start-up: skin, bottom strip, show, presets, then the update check. Run
    // once, after construction, from the event loop.
    void load();

    const AppConfig &config() const { return m_config; }
    const FilePlaces &places() const { return m_places; }
    PageFetcher *fetcher() const { return m_fetcher; }

    // The one-line message area at the bottom of the window.
    void setStatus(const QString &message) { m_statusLine.set(message); }
    QString status() const { return m_statusLine.text(); }
    // Why the failure on the status line happened (its tool tip); empty for other messages.
    QString statusCause() const { return m_statusLine.cause(); }

    // Brings the window to the front, taking the focus with the desktop's
    // token when one came with the request.
    void comeToFront(const QString &activationToken = QString());
    // Shows `address` in the song-page box and looks it up as soon as the
    // update check has unlocked the box and no dialog or wait is under way.
    void lookUpWhenFree(const QString &address);

    // True once the program has been told to end.
    bool hasEnded() const { return m_life.ended(); }

    const SongRecord &songRecord() const { return m_song; }
    SongRecord &songRecord() { return m_song; }

    SongPanel &songPanel() const { return *m_songPanel; }
    DownloadPanel &downloadPanel() const { return *m_downloadPanel; }

    // The one downloader, created by load() and living as long as the window.
    Cls_DownLoad *Cdf = nullptr;

signals:
    // The program must end now, without the closing handler.
    void programEnded();
    // The window has painted for the first time (queued behind that paint).
    void firstPainted();
    // A read of the version file has been answered and acted on.
    void versionChecked();
    // A command went to the player or its stream failed; `started` for a
    // play command.
    void playerChanged(bool started);

protected:
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void createControls();
    void createSingerPanel();
    void createWorkPanel();
    void createDownloadPanel();
    void setUpKeyboardAndNames();
    void connectHandlers();
    void connectDownloader();
    void installChrome();
    // What a title-bar button does: minimise, or end the program at once.
    void pressTitleButton(chrome::Button button);

    // The update check, app/updategate.cpp: gx at start, and the background
    // retry while the version file cannot be read.
    void gx();
    void retryUpdateCheck();
    // Asks for the version file and acts on it once it has come; the warning
    // box only when asked.
    void checkVersion(bool warnIfUnreadable);
    void actOnVersion(const update::Verdict &verdict, bool warnIfUnreadable);
    void scheduleUpdateRetry(const QString &failure);
    // F5: reads the version file now instead of at the end of the wait.
    void retryUpdateNow();
    void showRetryCountdown();
    // Shows what the gate has to say; unless `always`, only over its own
    // last message.
    void sayFromGate(const QString &text, const QString &cause, bool always);
    void endProgram();
    // A later start of the program: to the front, and its address looked up.
    void takeRequest(const StartRequest &request);
    void lookUpWaitingAddress();

    // Draws the title-bar buttons given a cell in those cells at once, leaving
    // the other as it shows. Nothing remembers them: any later repaint of the
    // buttons draws them normal.
    void drawButtonCells(std::optional<chrome::Cell> minimise, std::optional<chrome::Cell> close);

    AppConfig m_config;
    FilePlaces m_places;
    Platform m_platform;
    PageFetcher *m_fetcher = nullptr;
    WindowLife m_life;
    StatusLine m_statusLine{Label8[1]};
    SongRecord m_song;
    bool m_loaded = false;
    bool m_painted = false;

    SongPanel *m_songPanel = nullptr;
    PlayerPanel *m_playerPanel = nullptr;
    DownloadPanel *m_downloadPanel = nullptr;
    WorksPanel *m_worksPanel = nullptr;
    VideoPanel *m_videoPanel = nullptr;
    ShellPanel *m_shellPanel = nullptr;
    BatchDownloadPanel *m_batchPanel = nullptr; // with batch downloads built in
    FollowPanel *m_followPanel = nullptr;

    // The cells drawButtonCells is drawing, only while it draws them.
    std::optional<std::pair<chrome::Cell, chrome::Cell>> m_drawingCells;
    // Whether the mouse press under way began on the window's own surface
    // rather than on a child that passed it on.
    bool m_pressOnSurface = false;
    // Where the pointer holds the window while it follows the pointer itself.
    std::optional<QPoint> m_windowGrip;
    // The next read of a version file that could not be read, once one failed.
    QTimer *m_updateRetry = nullptr;
    std::optional<update::RetrySchedule> m_retrySchedule;
    // Ticks the countdown to that read on the status line, every second.
    QTimer *m_retryTick = nullptr;
    QString m_gateText; // what the gate last put on the status line
    QString m_gateCause;
    // An address handed to the window while it could not look it up yet, and
    // the timer that tries again.
    QString m_waitingAddress;
    QTimer *m_addressWait = nullptr;
};
