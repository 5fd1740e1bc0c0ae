#pragma once

#include "app/chrome.h"
#include "app/services.h"
#include "config/appconfig.h"
#include "page/songparser.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <optional>
#include <utility>

class Cls_DownLoad;
class Form2;
class ImageBox;
class ImageButton;
class Label;
class LineControl;
class PageFetcher;
class Panel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;
class QTimer;
class QTreeWidget;

// The save dialog's fixed settings; it has no widget of its own until shown.
struct SaveDialogSettings final
{
    QString DialogTitle;
    QString filterDescription;
    QString pattern;
};

// The facts of the work looked up last. Every field is text, starts empty and
// is overwritten only by the steps that produce it.
struct SongRecord final
{
    QString pageText;
    QString audioAddress;
    QString videoAddress; // empty when the work has no video
    QString singerName;
};

namespace program {
// The current work's id: program-wide, it outlives the window state it is
// computed from. Set by the parse and by a double-click in the works list.
QString &workId();
} // namespace program

// The main window. It owns every piece of the program's state: its controls,
// the song record, the download path and the harvest slots. Controls keep the
// names the rest of the program knows them by (also as object names, so they
// can be found with findChild).
class Form1 final : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kClientWidth = 1063;
    static constexpr int kClientHeight = 575;
    static constexpr char kBoxTitle[] = "Orvandel系列软件";
    // The address boxes take this many characters at most: far more than any
    // address, and little enough that whatever a broken service or clipboard
    // hands them is laid out without a pause.
    static constexpr int kAddressMaxLength = 2048;

    Form1(AppConfig config, Platform platform, QWidget *parent = nullptr);
    ~Form1() override;

    // Start-up: skin, bottom strip, show, presets, then the update check. Run
    // once, after construction, from the event loop.
    void load();

    const AppConfig &config() const { return m_config; }
    PageFetcher *fetcher() const { return m_fetcher; }

    // The one-line message area at the bottom of the window.
    void setStatus(const QString &message);
    QString status() const;

    // True once the program has been told to end.
    bool hasEnded() const { return m_ended; }

    const SongRecord &songRecord() const { return m_song; }
    // The song title: the caption of Label2 less its prefix.
    QString songTitle() const;

    // The parse (the parse button's press). The works list runs it too, after
    // putting an address into Text1.
    void aicAlphaImage3_Click();

    // Plays musicpath from the start at the slider's volume.
    void play(const QString &musicpath);

signals:
    // The program must end now, without the closing handler.
    void programEnded();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void createSingerPanel();
    void createWorkPanel();
    void createDownloadPanel();
    void connectHandlers();
    // Each subsystem wires its own handlers, in its own folder.
    void connectLookupHandlers();   // page/
    void connectPlayerHandlers();   // player/
    void connectDownloadHandlers(); // download/
    void connectWorksHandlers();    // works/
    void connectVideoHandlers();    // video/

    void gx();
    void endProgram();

    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command9_Click();
    void Command11_Click();

public:
    // Pictures that other parts of the window draw from; never shown.
    ImageBox *Image8 = nullptr;
    ImageBox *Image9 = nullptr;
    ImageBox *Image10 = nullptr;

    // Bottom strip and status bar.
    ImageBox *Image2 = nullptr;
    ImageBox *Image3 = nullptr;
    std::array<Label *, 3> Label8{};
    LineControl *Line1 = nullptr;
    LineControl *Line2 = nullptr;

    // Song-page address row.
    std::array<Label *, 2> Label11{};
    QPushButton *Command9 = nullptr;
    QLineEdit *Text1 = nullptr;
    ImageButton *aicAlphaImage3 = nullptr;

    // Singer works area.
    QPushButton *Command11 = nullptr;
    QPushButton *Command10 = nullptr;
    QPushButton *Command12 = nullptr;
    QLineEdit *Text2 = nullptr;
    QTreeWidget *ListView1 = nullptr;

    // Singer panel.
    Panel *Picture1 = nullptr;
    ImageButton *aicAlphaImage1 = nullptr;
    ImageBox *Image1 = nullptr;
    Label *Label1 = nullptr;
    Label *Label4 = nullptr;
    Label *Label3 = nullptr;
    Label *Label10 = nullptr;

    // Work panel.
    Panel *Picture2 = nullptr;
    QPushButton *Command16 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command7 = nullptr;
    QPushButton *Command8 = nullptr;
    QPushButton *Command13 = nullptr;
    Label *Label2 = nullptr;
    Label *Label5 = nullptr;
    Label *Label6 = nullptr;
    Label *Label7 = nullptr;
    Label *Label9 = nullptr;
    ImageButton *aicAlphaImage2 = nullptr;

    // Volume, links and exit.
    QSlider *Slider1 = nullptr;
    QPushButton *Command4 = nullptr;
    QPushButton *Command3 = nullptr;
    QPushButton *Command5 = nullptr;
    SaveDialogSettings C1;
    QTimer *Timer3 = nullptr;
    QTimer *Timer4 = nullptr;

    // Download panel.
    Panel *Picture3 = nullptr;
    Panel *Picture4 = nullptr;
    Panel *Picture5 = nullptr;
    Panel *Picture6 = nullptr;
    Label *Label12 = nullptr;
    Label *Label13 = nullptr;
    Label *Label14 = nullptr;
    Label *Label15 = nullptr;
    Label *Label16 = nullptr;
    Label *Label17 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command6 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    ImageButton *aicAlphaImage4 = nullptr;

private:
    AppConfig m_config;
    Platform m_platform;
    PageFetcher *m_fetcher = nullptr;
    bool m_loaded = false;
    bool m_closing = false;
    bool m_ended = false;

    // --- Song-page lookup (page/) ---
    void showAvatar(const QString &address);
    SongRecord m_song;
    songpage::WorkingTexts m_parseTexts;

    // --- Playback (player/) ---
    void Command7_Click();
    void Command16_Click();
    void Slider1_Scroll();

    // --- Downloading (download/) ---
public:
    // The one downloader, created by load() and living as long as the window.
    Cls_DownLoad *Cdf = nullptr;
    // How long, in milliseconds, a transfer may wait for an answer or for more
    // of its body before it asks again or gives up.
    int DownloadTimeOut = 10000;
    // The file the next transfer writes to; empty until the download button.
    QString downloadPath() const { return m_downloadPath; }

private:
    void createDownloader();
    void Command2_Click();
    void Command1_Click();
    void Command6_Click();
    void Command13_Click();
    void aicAlphaImage4_Click();
    void Cdf_entDLFileDowning(const QString &sRemoteURL, qint64 lDownLoaded, qint64 lFilesize, qint64 lSpeed);
    void Cdf_entDLFileStatus(int TmpState);
    QString downloadFileName() const;
    QString m_downloadPath;
    int m_lastDownloadStatus = 0;

    // --- Works list (works/) ---
    void Command10_Click();
    void hx();
    void Timer3_Timer();
    void Timer4_Timer();
    void Command12_Click();
    void ListView1_DblClick();
    // Ends a harvest whose fetch brought back no page.
    void endHarvestWithoutPage();

    // The harvest slots (page, current piece, id, text after the full marker,
    // title, play-address answer; 6 to 10 spare) and the marker count of the
    // last scan. Both live as long as the window and are only ever overwritten.
    std::array<QString, 11> m_harvestSlots;
    qint16 m_markerCount = 0;

    // --- Video viewer and window chrome (video/, app/) ---
    void Command8_Click();
    QString m_embedLine;     // the line last written to the video page
    QPointer<Form2> m_form2; // the viewer, while it is loaded

    void installChrome();
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;
    // Draws the title-bar buttons given a cell in those cells at once, leaving
    // the other as it shows. Nothing remembers them: any later repaint of the
    // buttons draws them normal.
    void drawButtonCells(std::optional<chrome::Cell> minimise, std::optional<chrome::Cell> close);
    // The cells drawButtonCells is drawing, only while it draws them.
    std::optional<std::pair<chrome::Cell, chrome::Cell>> m_drawingCells;
    // Whether the mouse press under way began on the window's own surface
    // rather than on a child that passed it on.
    bool m_pressOnSurface = false;
    // Where the pointer holds the window while it follows the pointer itself.
    std::optional<QPoint> m_windowGrip;
};
