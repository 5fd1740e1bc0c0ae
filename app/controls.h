#pragma once

#include <QAbstractButton>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QWidget>

// The few control kinds the windows need beyond Qt's own.

// Texts from outside are shown up to this many characters, then "…": enough for
// any real name or title, and little enough to lay out without a pause.
inline constexpr qsizetype kShownTextMax = 512;
// `text` as a label or list cell shows it: whole when it is short enough, else
// cut (never inside a surrogate pair) and ended with "…".
QString shownPart(const QString &text);

// A label that draws plain text on its container's surface. An auto-size label
// fits itself to its caption whenever the caption changes and stays on one
// line; a fixed one keeps its box, wrapping and clipping what does not fit.
// Captions come from web pages: markup shows as text, and control characters
// show as blanks (line breaks too, on one-line labels), so no caption can push
// a label over its neighbours, and a long one shows only its start (see
// shownPart). caption() gives the caption whole, as it was set.
class Label final : public QLabel
{
    Q_OBJECT
public:
    enum class Sizing { Auto, Fixed };
    Label(const QString &caption, Sizing sizing, QWidget *parent);

    void setCaption(const QString &caption);
    QString caption() const { return m_caption; }
    Sizing sizing() const { return m_sizing; }

private:
    Sizing m_sizing;
    QString m_caption;
};

// A picture with alpha that raises clicked() on a left press and release
// inside it, with a tool tip and a cursor of its own. It takes no keyboard
// focus unless given a focus policy; then Enter and Space press it too, and
// a dashed outline shows the focus.
class ImageButton final : public QAbstractButton
{
    Q_OBJECT
public:
    ImageButton(const QPixmap &picture, QWidget *parent);
    QPixmap picture() const { return m_picture; }
    void setPicture(const QPixmap &picture);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPixmap m_picture;
};

// A push button that Enter presses as well as Space, as a dialog's buttons
// are; on the main window no button is a default that would take Enter.
class PushButton final : public QPushButton
{
    Q_OBJECT
public:
    PushButton(const QString &caption, QWidget *parent);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

// A picture holder. A stretched one scales its picture to its own size.
class ImageBox final : public QWidget
{
    Q_OBJECT
public:
    ImageBox(const QPixmap &picture, bool stretch, QWidget *parent);
    QPixmap picture() const { return m_picture; }
    void setPicture(const QPixmap &picture);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_picture;
    bool m_stretch;
};

// A flat container in the window-background colour.
class Panel final : public QFrame
{
    Q_OBJECT
public:
    explicit Panel(QWidget *parent);
};

// A one-pixel straight line from one point of its container towards another,
// the end point itself not drawn.
class LineControl final : public QWidget
{
    Q_OBJECT
public:
    LineControl(QPoint from, QPoint to, const QColor &colour, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPoint m_from;
    QPoint m_to;
    QColor m_colour;
};
