#include "app/form2.h"

#include "app/controls.h"
#include "app/handlers.h"
#include "app/layout.h"
#include "app/services.h"
#include "config/fileplaces.h"
#include "video/videopage.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QWindow>

namespace {

using layout::autoLabel;
using layout::named;
using layout::textBox;

QGroupBox *frame(QWidget *parent, const char *name, const QString &caption, QRect box)
{
    auto *f = named(new QGroupBox(caption, parent), name);
    f->setGeometry(box);
    return f;
}

} // namespace

Form2::Form2(Launcher &launcher, MessageBoxService &messageBox, const FilePlaces &places, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint)
    , m_launcher(launcher)
    , m_messageBox(messageBox)
    , m_pagePath(video::pagePath(places.videoPageFolder))
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("获取MV"));
    setFixedSize(kClientWidth, kClientHeight);
    setSizeGripEnabled(false);
    setWindowModality(Qt::ApplicationModal);
    // Closing unloads the viewer; the next video command loads a new one.
    setAttribute(Qt::WA_DeleteOnClose);
    // The dialog's captions sit tight against its boxes (the label at x = 16
    // before a box at x = 96); the classic dialog size keeps them clear.
    QFont small = font();
    small.setPointSizeF(8.25);
    setFont(small);

    Frame1 = frame(this, "Frame1", QStringLiteral("视频信息"), {8, 16, 617, 81});
    Label1 = autoLabel(Frame1, "Label1", QStringLiteral("视频地址："), {16, 24});
    Text1 = textBox(Frame1, "Text1", {96, 21, 513, 18});
    Label2 = autoLabel(Frame1, "Label2", QStringLiteral("HTML调用代码："), {16, 48});
    Text2 = textBox(Frame1, "Text2", {96, 44, 513, 18});
    // The captions beside the fields are their names for a screen reader.
    Text1->setAccessibleName(QStringLiteral("视频地址"));
    Text2->setAccessibleName(QStringLiteral("HTML调用代码"));

    Frame2 = frame(this, "Frame2", QStringLiteral("友情提示"), {8, 104, 617, 73});
    placePageNote(places);
    Command1 = layout::button(Frame2, "Command1", QStringLiteral("立刻播放"), {432, 16, 65, 41});
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);

    centreOnScreen();
    Form_Load();
}

void Form2::placePageNote(const FilePlaces &places)
{
    if (places.portable) {
        Label3 = autoLabel(Frame2, "Label3", places.videoPageNote(), {192, 32});
        Label3->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        return;
    }
    // A folder path can be long: its middle gives way, the tool tip holds it whole.
    const QRect box(16, 20, 408, 46);
    Label3 = named(new Label(QString(), Label::Sizing::Fixed, Frame2), "Label3");
    Label3->setGeometry(box);
    Label3->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    const QString note = places.videoPageNote();
    const qsizetype lineEnd = note.indexOf(QLatin1Char('\n'));
    const QString folder = note.mid(lineEnd + 1);
    Label3->setCaption(note.left(lineEnd + 1) +
                       QFontMetrics(Label3->font()).elidedText(folder, Qt::ElideMiddle, box.width() - 8));
    Label3->setToolTip(folder);
}

void Form2::centreOnScreen()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    m_centredFrame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    const QSize whole = size().grownBy(m_centredFrame);
    // A top-level window's position is that of its frame.
    move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, whole, screen->availableGeometry()).topLeft());
}

void Form2::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    centreOnScreen();
}

void Form2::moveEvent(QMoveEvent *event)
{
    QDialog::moveEvent(event);
    // The frame became known (or changed) after the window was placed.
    if (isVisible() && windowHandle() && windowHandle()->frameMargins() != m_centredFrame)
        centreOnScreen();
}

// Esc closes the viewer as its title bar's close button does, which unloads it.
void Form2::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        close();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Form2::Form_Load()
{
    // The program's icon, as the main window shows.
    setWindowIcon(QGuiApplication::windowIcon());
}

// The page is read from disk when the browser opens it, so this works for as
// long as the file is there, whichever run of the program wrote it.
void Form2::Command1_Click()
{
    // Nothing may have started: without a word the button would seem dead.
    if (!m_launcher.openFile(m_pagePath))
        m_messageBox.inform(this, QString::fromUtf8(Handlers::kBoxTitle), video::openFailedText(m_pagePath),
                            MessageBoxService::Icon::Warning);
}
