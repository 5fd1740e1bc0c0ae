#include "app/layout.h"

#include "app/controls.h"

#include <QLineEdit>
#include <QPushButton>

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

} // namespace layout
