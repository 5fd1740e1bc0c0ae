#include "app/controls.h"

#include <QKeyEvent>
#include <QPainter>

Label::Label(const QString &caption, Sizing sizing, QWidget *parent)
    : QLabel(parent)
    , m_sizing(sizing)
{
    setTextFormat(Qt::PlainText);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (sizing == Sizing::Fixed)
        setWordWrap(true);
    setCaption(caption);
}

namespace {

// Space is a button's own key; Enter presses it as well, as on a dialog.
bool pressedByEnter(QAbstractButton &button, const QKeyEvent &event)
{
    if ((event.key() != Qt::Key_Return && event.key() != Qt::Key_Enter) || event.isAutoRepeat())
        return false;
    button.click();
    return true;
}

} // namespace

QString shownPart(const QString &text)
{
    if (text.size() <= kShownTextMax)
        return text;
    qsizetype cut = kShownTextMax;
    if (text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut) + QChar(0x2026);
}

namespace {

// The caption as a label shows it: control characters as blanks, except line
// breaks on a label that wraps.
QString shownCaption(const QString &caption, bool multiLine)
{
    QString shown = caption;
    for (QChar &c : shown) {
        const bool lineBreak = c == QLatin1Char('\n') || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
        if (lineBreak && multiLine)
            c = QLatin1Char('\n');
        else if (lineBreak || c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    return shown;
}

} // namespace

void Label::setCaption(const QString &caption)
{
    m_caption = caption;
    setText(shownCaption(shownPart(caption), m_sizing == Sizing::Fixed));
    if (m_sizing == Sizing::Auto)
        adjustSize();
}

ImageButton::ImageButton(const QPixmap &picture, QWidget *parent)
    : QAbstractButton(parent)
    , m_picture(picture)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
}

void ImageButton::setPicture(const QPixmap &picture)
{
    m_picture = picture;
    update();
}

void ImageButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!m_picture.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(rect(), m_picture);
    }
    if (hasFocus()) {
        // The picture has no frame of its own to light up.
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2, Qt::DashLine));
        painter.drawRect(rect().adjusted(1, 1, -1, -1));
    }
}

void ImageButton::keyPressEvent(QKeyEvent *event)
{
    if (!pressedByEnter(*this, *event))
        QAbstractButton::keyPressEvent(event);
}

PushButton::PushButton(const QString &caption, QWidget *parent)
    : QPushButton(caption, parent)
{}

void PushButton::keyPressEvent(QKeyEvent *event)
{
    if (!pressedByEnter(*this, *event))
        QPushButton::keyPressEvent(event);
}

ImageBox::ImageBox(const QPixmap &picture, bool stretch, QWidget *parent)
    : QWidget(parent)
    , m_picture(picture)
    , m_stretch(stretch)
{}

void ImageBox::setPicture(const QPixmap &picture)
{
    m_picture = picture;
    update();
}

void ImageBox::paintEvent(QPaintEvent *)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    if (m_stretch) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(rect(), m_picture);
    } else {
        painter.drawPixmap(0, 0, m_picture);
    }
}

Panel::Panel(QWidget *parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setForegroundRole(QPalette::Text);
}

LineControl::LineControl(QPoint from, QPoint to, const QColor &colour, QWidget *parent)
    : QWidget(parent)
    , m_colour(colour)
{
    // A line stops one pixel short of its end point, so that lines meeting end
    // to end do not overlap: from y = 544 to 564 is 20 pixels long.
    const auto towards = [](int d) { return d > 0 ? 1 : d < 0 ? -1 : 0; };
    const QPoint last = to - QPoint(towards(to.x() - from.x()), towards(to.y() - from.y()));
    const QRect box = QRect(from, last).normalized();
    setGeometry(box);
    m_from = from - box.topLeft();
    m_to = last - box.topLeft();
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LineControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(QPen(m_colour, 1));
    painter.drawLine(m_from, m_to);
}
