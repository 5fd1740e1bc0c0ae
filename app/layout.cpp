#include "app/layout.h"

#include "app/controls.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>

namespace layout {

QPushButton *button(QWidget *parent, const char *name, const QString &caption, QRect box)
{
    auto *b = named(new QPushButton(caption, parent), name);
    b->setGeometry(box);
    b->setAutoDefault(false);
    return b;
}

QLineEdit *textBox(QWidget *parent, const char *name, QRect box)
{
    auto *t = named(new QLineEdit(parent), name);
    t->setGeometry(box);
    return t;
}

Label *autoLabel(QWidget *parent, const char *name, const QString &caption, QPoint at)
{
    auto *l = named(new Label(caption, Label::Sizing::Auto, parent), name);
    l->move(at);
    return l;
}

QPoint placedOn(const QRect &area, QSize size)
{
    const auto along = [](int start, int length, int wanted) {
        const int centred = start + (length - wanted) / 2;
        return std::max(start, std::min(centred, start + length - wanted));
    };
    return {along(area.x(), area.width(), size.width()), along(area.y(), area.height(), size.height())};
}

void fitCaption(QPushButton *button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const int room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
    QFont font = button->font();
    while (QFontMetrics(font).horizontalAdvance(button->text()) > room && font.pointSizeF() > 6) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
        button->setFont(font);
    }
}

} // namespace layout
