#pragma once

#include <QObject>

class QMenu;
class QPoint;
class QTreeWidget;

// The works list's context menu: the list's entries (its actions) that are
// visible, in one menu kept for the list's life, so that a screen reader meets
// the same items each time it opens and never a hidden one. It opens under
// the pointer on a right click, and at the current row from the keyboard: the
// Menu key and Shift+F10.
class WorksMenu final : public QObject
{
public:
    explicit WorksMenu(QTreeWidget *list);

    // The menu, once it has been opened; none before.
    QMenu *menu() const { return m_menu; }
    // Opens at the current row, or at the list's top-left without one.
    void popUpAtCurrentRow();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void popUp(const QPoint &globalPos);
    // Makes the menu hold exactly the list's visible entries, in their order.
    void takeEntries();

    QTreeWidget *const m_list;
    QMenu *m_menu = nullptr; // made on first use: a window that never opens it pays nothing
};
