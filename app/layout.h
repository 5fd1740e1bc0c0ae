#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

class Label;
class QPixmap;
class QLineEdit;
class QPushButton;
class QWidget;

// Makers of the windows' standard controls at fixed places. Each control also
// carries its name as its object name, so it can be found with findChild.
namespace layout {

template <typename T> T *named(T *widget, const char *name)
{
    widget->setObjectName(QString::fromUtf8(name));
    return widget;
}

// A push button that never becomes the default button of its window; Enter
// and Space both press it while it has the focus.
QPushButton *button(QWidget *parent, const char *name, const QString &caption, QRect box);
QLineEdit *textBox(QWidget *parent, const char *name, QRect box);
Label *autoLabel(QWidget *parent, const char *name, const QString &caption, QPoint at);

// The picture at `path`, or its twice-as-large `name@2x.ext` drawing on a
// screen of device pixel ratio above 1, so it stays crisp when scaled.
QPixmap artPicture(const QString &path);

// Those of `families` that are installed, in their order; all of them when none
// is, so that the usual substitution still applies. Naming a missing family
// first would have every font lookup ask the font configuration for its
// substitutes.
QStringList installedFamilies(const QStringList &families);

// Where a window of `size` goes on a screen whose free area is `area`:
// centred, but moved back so that no edge lies off the area, and with its
// top-left corner (where the title band is held) on it even when the window
// is larger than the area.
QPoint placedOn(const QRect &area, QSize size);

// Makes the caption of `button` fit its fixed width by shrinking the button's
// font in half-point steps, where a larger scale or another font would cut it.
void fitCaption(QPushButton *button);

} // namespace layout
