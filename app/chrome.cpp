// The main window's own frame: painting, the title-bar buttons, moving the
// window by its title band, dragging the download panel, and the works list's
// fixed column widths.

#include "app/chrome.h"

#include "app/controls.h"
#include "app/form1.h"
#include "player/mciinterpreter.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QTreeWidget>
#include <QWindow>

namespace chrome {

Button buttonAt(QPointF p, int width)
{
    if (p.y() < 2 || p.y() > 22)
        return Button::None;
    if (p.x() >= width - 80 && p.x() <= width - 51)
        return Button::Minimise;
    if (p.x() >= width - 51 && p.x() <= width - 10)
        return Button::Close;
    return Button::None;
}

QRect buttonPlace(Button button, int width)
{
    switch (button) {
    case Button::Minimise:
        return {width - 80, 2, 29, 20};
    case Button::Close:
        return {width - 51, 2, 41, 20};
    case Button::None:
        break;
    }
    return {};
}

QRect spriteCell(Button button, Cell cell)
{
    // The two columns of the sheet do not start their rows at the same place:
    // the close button's pressed cell sits one row lower.
    switch (button) {
    case Button::Minimise: {
        static constexpr int rows[] = {0, 21, 41};
        return {0, rows[static_cast<int>(cell)], 29, 20};
    }
    case Button::Close: {
        static constexpr int rows[] = {0, 21, 42};
        return {29, rows[static_cast<int>(cell)], 41, 20};
    }
    case Button::None:
        break;
    }
    return {};
}

void lockColumnWidths(QTreeWidget *list)
{
    // A fixed section has no divider for the mouse: it cannot be dragged, and a
    // double-click on it does not size the column to its contents. A hidden
    // section can only come back through a divider, so it stays hidden too.
    QHeaderView *header = list->header();
    header->setSectionResizeMode(QHeaderView::Fixed);
}

} // namespace chrome

namespace {

// Drags a child panel about inside its parent while a mouse button is held
// on the panel's own surface. No bounds: the panel goes where the pointer goes.
class PanelDrag final : public QObject
{
public:
    explicit PanelDrag(QWidget *panel)
        : QObject(panel)
        , m_panel(panel)
    {
        panel->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_panel)
            return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto *press = static_cast<QMouseEvent *>(event);
            m_grip = press->globalPosition().toPoint() - m_panel->pos();
            m_dragging = true;
            return true;
        }
        case QEvent::MouseMove:
            if (m_dragging) {
                m_panel->move(static_cast<QMouseEvent *>(event)->globalPosition().toPoint() - m_grip);
                return true;
            }
            return false;
        case QEvent::MouseButtonRelease:
            if (m_dragging && static_cast<QMouseEvent *>(event)->buttons() == Qt::NoButton) {
                m_dragging = false;
                return true;
            }
            return m_dragging;
        default:
            return false;
        }
    }

private:
    QWidget *m_panel;
    QPoint m_grip;
    bool m_dragging = false;
};

} // namespace

void Form1::installChrome()
{
    setMouseTracking(true);
    new PanelDrag(Picture3);
}

void Form1::paintEvent(QPaintEvent *)
{
    const int w = width();
    const int h = height();
    const QPixmap tile = Image10->picture();
    const QPixmap sheet = Image9->picture();

    struct Copy
    {
        QRect source;
        QRect target;
    };
    const Copy frame[] = {
        {{0, 0, 6, 100}, {0, 0, 6, 100}},          // title band, left end
        {{6, 0, 1, 100}, {6, 0, w - 12, 100}},     // title band, middle
        {{7, 0, 6, 100}, {w - 6, 0, 6, 100}},      // title band, right end
        {{0, 68, 3, 28}, {0, 68, 3, h - 73}},      // left edge
        {{10, 68, 3, 28}, {w - 3, 68, 3, h - 73}}, // right edge
        {{0, 96, 6, 5}, {0, h - 5, 6, 5}},         // bottom-left corner
        {{6, 96, 1, 5}, {6, h - 5, w - 12, 5}},    // bottom edge
        {{7, 96, 6, 5}, {w - 6, h - 5, 6, 5}},     // bottom-right corner
    };

    QPainter painter(this);
    // Plain copies: a stretched piece repeats its pixels rather than blending them.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    for (const Copy &copy : frame)
        painter.drawPixmap(copy.target, tile, copy.source);
    for (const auto &[button, cell] :
         {std::pair{chrome::Button::Minimise, m_minimiseCell}, std::pair{chrome::Button::Close, m_closeCell}})
        painter.drawPixmap(chrome::buttonPlace(button, w), sheet, chrome::spriteCell(button, cell));
    painter.drawPixmap(10, 16, Image8->picture());
}

void Form1::showButtonCells(chrome::Cell minimise, chrome::Cell close)
{
    if (minimise != m_minimiseCell)
        update(chrome::buttonPlace(chrome::Button::Minimise, width()));
    if (close != m_closeCell)
        update(chrome::buttonPlace(chrome::Button::Close, width()));
    m_minimiseCell = minimise;
    m_closeCell = close;
}

void Form1::mouseMoveEvent(QMouseEvent *event)
{
    if (m_windowGrip) {
        move(event->globalPosition().toPoint() - *m_windowGrip);
        return;
    }
    // Held buttons make no difference to what the buttons show.
    using chrome::Cell;
    switch (chrome::buttonAt(event->position(), width())) {
    case chrome::Button::Minimise:
        showButtonCells(Cell::Hover, Cell::Normal);
        break;
    case chrome::Button::Close:
        showButtonCells(Cell::Normal, Cell::Hover);
        break;
    case chrome::Button::None:
        showButtonCells(Cell::Normal, Cell::Normal);
        break;
    }
}

void Form1::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || event->position().y() > chrome::kDragBandBottom)
        return;
    switch (chrome::buttonAt(event->position(), width())) {
    case chrome::Button::Minimise:
        showButtonCells(chrome::Cell::Pressed, m_closeCell);
        return;
    case chrome::Button::Close:
        showButtonCells(m_minimiseCell, chrome::Cell::Pressed);
        return;
    case chrome::Button::None:
        break;
    }
    // The title band moves the window. The window manager does it where it
    // can; elsewhere the window follows the pointer until the release.
    QWindow *handle = windowHandle();
    if (handle && handle->startSystemMove())
        return;
    m_windowGrip = event->globalPosition().toPoint() - pos();
}

void Form1::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_windowGrip) {
        // The release that ends a move is the move's own, as when the window
        // manager moves the window.
        if (event->buttons() == Qt::NoButton)
            m_windowGrip.reset();
        return;
    }
    // The release alone decides, whatever the button and wherever the press was.
    switch (chrome::buttonAt(event->position(), width())) {
    case chrome::Button::Minimise:
        showMinimized();
        break;
    case chrome::Button::Close:
        m_platform.mci->sendString(QStringLiteral("close all"));
        endProgram();
        break;
    case chrome::Button::None:
        break;
    }
}

void Form1::changeEvent(QEvent *event)
{
    // Coming back from the taskbar the window is painted afresh, both buttons
    // in their normal look.
    if (event->type() == QEvent::WindowStateChange && !isMinimized())
        showButtonCells(chrome::Cell::Normal, chrome::Cell::Normal);
    QWidget::changeEvent(event);
}
