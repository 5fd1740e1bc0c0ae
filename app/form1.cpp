#include "app/form1.h"

#include "app/batchdownload.h"
#include "app/controls.h"
#include "app/downloadpanel.h"
#include "app/followpanel.h"
#include "app/layout.h"
#include "app/playerpanel.h"
#include "app/shellpanel.h"
#include "app/skin.h"
#include "app/songpanel.h"
#include "app/videopanel.h"
#include "app/watchedmci.h"
#include "app/worksmenu.h"
#include "app/workspanel.h"
#include "download/cls_download.h"
#include "page/pagefetcher.h"
#include "player/mciinterpreter.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>

// A new entry at the end of `owner`'s context menu.
static QAction *addMenuEntry(QWidget *owner, const QString &text)
{
    auto *entry = new QAction(text, owner);
    owner->addAction(entry);
    return entry;
}

static void initArt()
{
    Q_INIT_RESOURCE(assets);
}

Form1::Form1(AppConfig config, Platform platform, QWidget *parent)
    // Frameless, yet the window manager still offers minimise and close (and
    // their keys) for the painted buttons; a fixed-size window has no maximise.
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint)
    , m_config(std::move(config))
    , m_places(FilePlaces::forProgramFolder(m_config.programFolder))
    , m_platform(std::move(platform))
    , m_fetcher(new PageFetcher(this))
{
    initArt();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Cantora辅助工具"));
    setAttribute(Qt::WA_QuitOnClose, true);
    setFixedSize(kClientWidth, kClientHeight);

    QFont font;
    font.setFamilies(
        layout::installedFamilies({QStringLiteral("Microsoft YaHei UI"), QStringLiteral("WenQuanYi Micro Hei"),
                                   QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Sans Serif")}));
    font.setPointSize(9);
    setFont(font);

    m_fetcher->setTimeLimit(m_config.pageTimeoutMs);
    // Whoever shows the desktop what plays learns of it from here.
    m_platform.mci =
        std::make_unique<WatchedMci>(std::move(m_platform.mci), [this](bool started) { emit playerChanged(started); });

    createControls();
    Label15->setCaption(m_places.downloadNote());

    const WindowLife &life = m_life;
    m_songPanel = new SongPanel(*this, m_statusLine, life, *m_fetcher, m_config, m_song, this);
    m_playerPanel = new PlayerPanel(*this, m_statusLine, life, *m_platform.mci, m_config, m_song, this);
    m_downloadPanel =
        new DownloadPanel(*this, m_statusLine, life,
                          {*m_platform.messageBox, *m_platform.saveDialog, *m_platform.clipboard, *m_platform.launcher},
                          m_places, m_song, this);
    m_worksPanel = new WorksPanel(*this, m_statusLine, life, *m_fetcher, *m_platform.messageBox, *m_platform.saveDialog,
                                  *m_platform.mci, m_config, m_places, m_song, *m_songPanel, this);
    m_batchPanel = new BatchDownloadPanel(*this, m_statusLine, life, *m_platform.messageBox, m_config, m_places, this);
    m_followPanel = new FollowPanel(*this, m_statusLine, life, *m_fetcher, *m_platform.messageBox, *m_batchPanel,
                                    m_config, m_places, this);
    m_videoPanel =
        new VideoPanel(m_statusLine, life, *m_platform.messageBox, *m_platform.launcher, m_places, m_song, this);
    m_shellPanel =
        new ShellPanel(*this, m_statusLine, life, *m_platform.clipboard, *m_platform.launcher, m_config, this);
    connectHandlers();
    installChrome();
    if (m_platform.instanceGate)
        m_platform.instanceGate->setRequestHandler([this](const StartRequest &request) { takeRequest(request); });

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(layout::placedOn(screen->availableGeometry(), size()));
}

Form1::~Form1() = default;

namespace {

// Runs `handler` of `receiver` on any of `keys`, pressed while `widget` has the
// focus (or, with a window context, anywhere in its window) and is shown.
template <typename Receiver>
void onKeys(QWidget *widget, std::initializer_list<Qt::Key> keys, Receiver *receiver, void (Receiver::*handler)(),
            Qt::ShortcutContext context = Qt::WidgetShortcut)
{
    for (const Qt::Key key : keys) {
        auto *shortcut = new QShortcut(QKeySequence(key), widget);
        shortcut->setContext(context);
        QObject::connect(shortcut, &QShortcut::activated, receiver, handler);
    }
}

} // namespace

// Every control event and the handler it runs, in one place.
void Form1::connectHandlers()
{
    using B = QPushButton;
    // Song-page lookup.
    connect(aicAlphaImage3, &ImageButton::clicked, m_songPanel, &SongPanel::aicAlphaImage3_Click);
    connect(Text1, &QLineEdit::returnPressed, m_songPanel, &SongPanel::aicAlphaImage3_Click);
    // Playback.
    connect(Command7, &B::clicked, m_playerPanel, &PlayerPanel::Command7_Click);
    connect(Command16, &B::clicked, m_playerPanel, &PlayerPanel::Command16_Click);
    connect(Slider1, &QSlider::valueChanged, m_playerPanel, &PlayerPanel::Slider1_Scroll);
    // Download panel.
    connect(Command2, &B::clicked, m_downloadPanel, &DownloadPanel::Command2_Click);
    connect(Command1, &B::clicked, m_downloadPanel, &DownloadPanel::Command1_Click);
    connect(Command6, &B::clicked, m_downloadPanel, &DownloadPanel::Command6_Click);
    connect(Command13, &B::clicked, m_downloadPanel, &DownloadPanel::Command13_Click);
    connect(aicAlphaImage4, &ImageButton::clicked, m_downloadPanel, &DownloadPanel::aicAlphaImage4_Click);
    // Esc anywhere in the window, while the panel shows.
    onKeys(Picture3, {Qt::Key_Escape}, m_downloadPanel, &DownloadPanel::aicAlphaImage4_Click, Qt::WindowShortcut);
    // Works list.
    connect(Command10, &B::clicked, m_worksPanel, &WorksPanel::Command10_Click);
    connect(Command12, &B::clicked, m_worksPanel, &WorksPanel::Command12_Click);
    connect(Timer3, &QTimer::timeout, m_worksPanel, &WorksPanel::Timer3_Timer);
    connect(Timer4, &QTimer::timeout, m_worksPanel, &WorksPanel::Timer4_Timer);
    watchDoubleClicks(ListView1->viewport(), [panel = m_worksPanel] { panel->ListView1_DblClick(); });
    // The works list's context menu: its entries are the list's actions.
    new WorksMenu(ListView1);
    connect(addMenuEntry(ListView1, QStringLiteral("下载选中作品")), &QAction::triggered, m_batchPanel,
            &BatchDownloadPanel::downloadSelected);
    connect(addMenuEntry(ListView1, QStringLiteral("下载全部作品")), &QAction::triggered, m_batchPanel,
            &BatchDownloadPanel::downloadAll);
    m_batchPanel->setStopEntry(addMenuEntry(ListView1, QStringLiteral("停止批量下载")));
    connect(m_batchPanel->stopEntry(), &QAction::triggered, m_batchPanel, &BatchDownloadPanel::stopBatch);
    connect(addMenuEntry(ListView1, QStringLiteral("导出列表…")), &QAction::triggered, m_worksPanel,
            &WorksPanel::exportList);
    connect(addMenuEntry(ListView1, QStringLiteral("关注此歌手")), &QAction::triggered, m_followPanel,
            &FollowPanel::followSinger);
    connect(addMenuEntry(ListView1, QStringLiteral("取消关注")), &QAction::triggered, m_followPanel,
            &FollowPanel::unfollowSinger);
    connect(addMenuEntry(ListView1, QStringLiteral("同步关注的歌手")), &QAction::triggered, m_followPanel,
            &FollowPanel::syncFollowed);
    onKeys(ListView1, {Qt::Key_Return, Qt::Key_Enter}, m_worksPanel, &WorksPanel::ListView1_KeyReturn);
    connect(Text2, &QLineEdit::returnPressed, m_worksPanel, &WorksPanel::Command10_Click);
    // Video.
    connect(Command8, &B::clicked, m_videoPanel, &VideoPanel::Command8_Click);
    // Paste buttons, the maker's links and exit.
    connect(Command3, &B::clicked, m_shellPanel, &ShellPanel::Command3_Click);
    connect(Command4, &B::clicked, m_shellPanel, &ShellPanel::Command4_Click);
    connect(Command5, &B::clicked, m_shellPanel, &ShellPanel::Command5_Click);
    connect(Command9, &B::clicked, m_shellPanel, &ShellPanel::Command9_Click);
    connect(Command11, &B::clicked, m_shellPanel, &ShellPanel::Command11_Click);
}

// The downloader's events; it exists only once the window has loaded.
void Form1::connectDownloader()
{
    connect(Cdf, &Cls_DownLoad::entDLFileDowning, m_downloadPanel, &DownloadPanel::Cdf_entDLFileDowning);
    connect(Cdf, &Cls_DownLoad::entDLFileStatus, m_downloadPanel, &DownloadPanel::Cdf_entDLFileStatus);
}

void Form1::load()
{
    if (m_loaded)
        return;
    m_loaded = true;

    skin::attachEx(this, skin::locate(m_config.programFolder));
    skin::adjustHsv(this, 140, 0, 0);
    // The skin and the screen's scale decide how wide the captions come out.
    for (QPushButton *button : findChildren<QPushButton *>())
        layout::fitCaption(button);

    // The bottom strip spans the window from 2 px after its left edge to 1 px
    // before its right edge.
    Image3->setGeometry(2, Image3->y(), width() - 3, Image3->height());

    show();
    {
        // Setting the volume here is not the user's scroll.
        const QSignalBlocker quiet(Slider1);
        Slider1->setValue(1000);
    }
    chrome::lockColumnWidths(ListView1);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    if (!Cdf) {
        Cdf = new Cls_DownLoad(this);
        m_downloadPanel->setDownloader(Cdf);
        connectDownloader();
    }
    show();

    gx();
}

void Form1::endProgram()
{
    if (m_life.ended())
        return;
    m_life.setEnded();
    // Pages still on their way are no longer wanted.
    m_fetcher->abortAll();
    hide();
    emit programEnded();
}

void Form1::takeRequest(const StartRequest &request)
{
    if (m_life.over())
        return;
    comeToFront(request.activationToken);
    if (!request.address.isEmpty())
        lookUpWhenFree(request.address);
}

void Form1::comeToFront(const QString &activationToken)
{
    // Qt's Wayland window takes the token from here when it asks for the focus.
    if (!activationToken.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void Form1::lookUpWhenFree(const QString &address)
{
    m_waitingAddress = address;
    Text1->setText(address);
    if (!m_addressWait) {
        m_addressWait = new QTimer(this);
        m_addressWait->setSingleShot(true);
        m_addressWait->setInterval(250);
        connect(m_addressWait, &QTimer::timeout, this, &Form1::lookUpWaitingAddress);
    }
    lookUpWaitingAddress();
}

void Form1::lookUpWaitingAddress()
{
    if (m_life.over() || m_waitingAddress.isEmpty())
        return;
    // Not past the update check, nor into a dialog's answer or a lookup's
    // wait: what they go on with must stay the work they began with.
    const bool free =
        m_loaded && Text1->isEnabled() && !QApplication::activeModalWidget() && !QGuiApplication::overrideCursor();
    if (!free) {
        m_addressWait->start();
        return;
    }
    Text1->setText(std::exchange(m_waitingAddress, QString()));
    m_songPanel->aicAlphaImage3_Click();
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Closing is never refused; every sound the program opened stops with it.
    m_life.setClosing();
    // A transfer running underneath ends before the program does, so what it
    // kept is its partial file and never a half-written target.
    if (Cdf)
        Cdf->DLFileStop();
    // So does a batch or a sync: its transfers keep their .part files for the next run.
    m_batchPanel->stopBatch();
    m_platform.mci->sendString(QStringLiteral("close all"));
    // Pages still on their way are no longer wanted.
    m_fetcher->abortAll();
    event->accept();
}
