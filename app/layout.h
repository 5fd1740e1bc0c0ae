#pragma once

#include <QPoint>
#include <QRect>
#include <QString>

class Label;
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

// A push button that never becomes the default button of its window.
QPushButton *button(QWidget *parent, const char *name, const QString &caption, QRect box);
QLineEdit *textBox(QWidget *parent, const char *name, QRect box);
Label *autoLabel(QWidget *parent, const char *name, const QString &caption, QPoint at);

} // namespace layout
