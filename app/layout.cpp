#include "app/layout.h"

#include "app/controls.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>

namespace layout {

QPixmap artPicture(const QString &path)
{
    // A plain QPixmap load never looks for the larger drawing itself.
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    if (qGuiApp && qGuiApp->devicePixelRatio() > 1.0 && dot > 0) {
        QPixmap sharp(path.left(dot) + QStringLiteral("@2x") + path.mid(dot));
        if (!sharp.isNull()) {
            sharp.setDevicePixelRatio(2.0);
            return sharp;
        }
    }
    return QPixmap(path);
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption, QRect box)
{
    auto *b = named(new PushButton(caption, parent), name);
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

QStringList installedFamilies(const QStringList &families)
{
    const QStringList installed = QFontDatabase::families();
    QStringList present;
    for (const QString &family : families) {
        if (installed.contains(family, Qt::CaseInsensitive))
            present << family;
    }
    return present.isEmpty() ? families : present;
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
