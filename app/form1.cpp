#include "app/form1.h"

#include "app/controls.h"
#include "app/skin.h"
#include "app/updatecheck.h"
#include "download/cls_download.h"
#include "page/pagefetcher.h"
#include "player/mciinterpreter.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTreeWidget>

static void initArt()
{
    Q_INIT_RESOURCE(assets);
}

Form1::Form1(AppConfig config, Platform platform, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_config(std::move(config))
    , m_platform(std::move(platform))
    , m_fetcher(new PageFetcher(this))
{
    initArt();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Cantora辅助工具"));
    setAttribute(Qt::WA_QuitOnClose, true);
    setFixedSize(kClientWidth, kClientHeight);

    QFont font;
    font.setFamilies({QStringLiteral("Microsoft YaHei UI"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Sans Serif")});
    font.setPointSize(9);
    setFont(font);

    m_fetcher->setTimeLimit(m_config.pageTimeoutMs);

    createControls();
    connectHandlers();

    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
    }
}

Form1::~Form1() = default;

void Form1::connectHandlers()
{
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(Command9, &QPushButton::clicked, this, &Form1::Command9_Click);
    connect(Command11, &QPushButton::clicked, this, &Form1::Command11_Click);

    connectLookupHandlers();
    connectPlayerHandlers();
    connectDownloadHandlers();
    connectWorksHandlers();
    connectVideoHandlers();
}

void Form1::setStatus(const QString &message)
{
    Label8[1]->setCaption(message);
}

QString Form1::status() const
{
    return Label8[1]->caption();
}

void Form1::load()
{
    if (m_loaded)
        return;
    m_loaded = true;

    setWindowIcon(QIcon());
    skin::attachEx(this, m_config.programFolder + QStringLiteral("/skinh.she"));
    skin::adjustHsv(this, 140, 0, 0);

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
    createDownloader();
    show();

    gx();
}

// The update check: the version file decides whether the inputs unlock.
void Form1::gx()
{
    QString pageText;
    const FetchResult page = m_fetcher->GetBody(m_config.versionFileUrl());
    if (m_closing || m_ended)
        return;
    // A server error is no version file, whatever page came with it.
    if (page.ok && page.httpStatus < 400)
        pageText = page.text;

    const update::Verdict verdict = update::judge(pageText);
    switch (verdict.outcome) {
    case update::Outcome::Unreadable:
        m_platform.messageBox->inform(this, QString::fromUtf8(kBoxTitle),
                                      QStringLiteral("检测更新失败!请您稍后再试,暂时使用原版"),
                                      MessageBoxService::Icon::Warning);
        break;
    case update::Outcome::Current:
        setStatus(QStringLiteral("欢迎使用Orvandel系列软件 .."));
        Command10->setEnabled(true);
        Command12->setEnabled(true);
        Text1->setEnabled(true);
        Text2->setEnabled(true);
        break;
    case update::Outcome::OtherVersion:
        m_platform.messageBox->inform(this, QString::fromUtf8(kBoxTitle), update::announcement(verdict.version),
                                      MessageBoxService::Icon::Information);
        m_platform.launcher->openAddress(m_config.forumUrl);
        endProgram();
        break;
    }
}

void Form1::endProgram()
{
    if (m_ended)
        return;
    m_ended = true;
    hide();
    emit programEnded();
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Closing is never refused; every sound the program opened stops with it.
    m_closing = true;
    // A transfer running underneath ends before the program does, so what it
    // kept is its partial file and never a half-written target.
    if (Cdf)
        Cdf->DLFileStop();
    m_platform.mci->sendString(QStringLiteral("close all"));
    // Pages still on their way are no longer wanted.
    m_fetcher->abortAll();
    event->accept();
}

void Form1::Command3_Click()
{
    m_platform.launcher->openAddress(m_config.forumUrl);
}

void Form1::Command4_Click()
{
    m_platform.launcher->openAddress(m_config.homeUrl);
}

void Form1::Command5_Click()
{
    close();
}

void Form1::Command9_Click()
{
    Text1->clear();
    Text1->setText(m_platform.clipboard->text());
}

void Form1::Command11_Click()
{
    Text2->clear();
    Text2->setText(m_platform.clipboard->text());
}
