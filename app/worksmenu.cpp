#include "app/worksmenu.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTreeWidget>

WorksMenu::WorksMenu(QTreeWidget *list)
    : QObject(list)
    , m_list(list)
{
    m_list->setContextMenuPolicy(Qt::DefaultContextMenu);
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
}

bool WorksMenu::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ContextMenu) {
        const auto *asked = static_cast<QContextMenuEvent *>(event);
        if (asked->reason() == QContextMenuEvent::Mouse)
            popUp(asked->globalPos());
        else
            popUpAtCurrentRow();
        return true;
    }
    if (event->type() == QEvent::KeyPress && watched == m_list) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool menuKey = key->key() == Qt::Key_Menu && key->modifiers() == Qt::NoModifier;
        const bool shiftF10 = key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier;
        if (menuKey || shiftF10) {
            popUpAtCurrentRow();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void WorksMenu::popUpAtCurrentRow()
{
    QPoint at(0, 0);
    if (QTreeWidgetItem *current = m_list->currentItem()) {
        m_list->scrollToItem(current);
        const QRect row = m_list->visualItemRect(current);
        at = QPoint(row.left() + row.height(), row.center().y());
    }
    popUp(m_list->viewport()->mapToGlobal(at));
}

void WorksMenu::popUp(const QPoint &globalPos)
{
    if (!m_menu) {
        m_menu = new QMenu(m_list);
        m_menu->setObjectName(QStringLiteral("worksMenu"));
    }
    // The window system may also turn the Menu key into a request of its own.
    if (m_menu->isVisible())
        return;
    takeEntries();
    if (!m_menu->isEmpty())
        m_menu->popup(globalPos);
}

void WorksMenu::takeEntries()
{
    QList<QAction *> shown;
    for (QAction *entry : m_list->actions()) {
        if (entry->isVisible())
            shown << entry;
    }
    // Unchanged entries stay as they are, and so do their accessible items.
    if (m_menu->actions() == shown)
        return;
    // The entries belong to the list: clearing the menu only takes them out.
    m_menu->clear();
    m_menu->addActions(shown);
}
