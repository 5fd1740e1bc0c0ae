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
    // Dragging a header would reorder the columns; they keep their order.
    header->setSectionsMovable(false);
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
            // Children that do not take a press pass it on to the panel; only
            // the panel's own surface is a grip.
            if (m_panel->childAt(press->position().toPoint()))
                return false;
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
    // The painted buttons as a screen reader sees them: buttons with names that
    // its press action clicks. They draw nothing, take no focus and let the
    // mouse through to the window, whose own handlers keep the painted ones.
    const auto accessible = [this](chrome::Button button, const char *name, const QString &text) {
        auto *stand = new ImageButton(QPixmap(), this);
        stand->setObjectName(QLatin1String(name));
        stand->setAttribute(Qt::WA_TransparentForMouseEvents);
        stand->setGeometry(chrome::buttonPlace(button, width()));
        stand->setAccessibleName(text);
        connect(stand, &ImageButton::clicked, this, [this, button] { pressTitleButton(button); });
    };
    accessible(chrome::Button::Minimise, "TitleMinimise", QStringLiteral("最小化"));
    accessible(chrome::Button::Close, "TitleClose", QStringLiteral("关闭程序"));
}

void Form1::pressTitleButton(chrome::Button button)
{
    switch (button) {
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

void Form1::paintEvent(QPaintEvent *)
{
    if (!m_painted) {
        m_painted = true;
        QMetaObject::invokeMethod(this, &Form1::firstPainted, Qt::QueuedConnection);
    }
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

    // Pieces are cut in window pixels; a picture drawn for a denser screen
    // holds as many more of its own pixels per window pixel.
    const auto cut = [](const QPixmap &picture, const QRect &piece) {
        const qreal ratio = picture.devicePixelRatio();
        return QRectF(QPointF(piece.topLeft()) * ratio, QSizeF(piece.size()) * ratio);
    };

    QPainter painter(this);
    // Plain copies: a stretched piece repeats its pixels rather than blending them.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    for (const Copy &copy : frame)
        painter.drawPixmap(QRectF(copy.target), tile, cut(tile, copy.source));
    const auto [minimise, close] = m_drawingCells.value_or(std::pair{chrome::Cell::Normal, chrome::Cell::Normal});
    for (const auto &[button, cell] :
         {std::pair{chrome::Button::Minimise, minimise}, std::pair{chrome::Button::Close, close}})
        painter.drawPixmap(QRectF(chrome::buttonPlace(button, w)), sheet, cut(sheet, chrome::spriteCell(button, cell)));
    painter.drawPixmap(10, 16, Image8->picture());
}

void Form1::drawButtonCells(std::optional<chrome::Cell> minimise, std::optional<chrome::Cell> close)
{
    QRegion region;
    if (minimise)
        region += chrome::buttonPlace(chrome::Button::Minimise, width());
    if (close)
        region += chrome::buttonPlace(chrome::Button::Close, width());
    // The cells live only for this one synchronous repaint, so what shows is
    // whatever was drawn last, until the window is next repainted.
    m_drawingCells = std::pair{minimise.value_or(chrome::Cell::Normal), close.value_or(chrome::Cell::Normal)};
    repaint(region);
    m_drawingCells.reset();
}

void Form1::mouseMoveEvent(QMouseEvent *event)
{
    if (m_windowGrip) {
        move(event->globalPosition().toPoint() - *m_windowGrip);
        return;
    }
    // A held button keeps the moves with whoever took the press; otherwise
    // moves over a child are the child's, passed on or not.
    const bool own = event->buttons() != Qt::NoButton ? m_pressOnSurface : !childAt(event->position().toPoint());
    if (!own)
        return;
    // Held buttons make no difference to what the buttons show.
    using chrome::Cell;
    switch (chrome::buttonAt(event->position(), width())) {
    case chrome::Button::Minimise:
        drawButtonCells(Cell::Hover, Cell::Normal);
        break;
    case chrome::Button::Close:
        drawButtonCells(Cell::Normal, Cell::Hover);
        break;
    case chrome::Button::None:
        drawButtonCells(Cell::Normal, Cell::Normal);
        break;
    }
}

void Form1::mousePressEvent(QMouseEvent *event)
{
    // Labels, panels and pictures pass the presses they do not take on to the
    // window; those presses, and the releases that end them, are not the
    // window's. The first button down decides for the whole press.
    const bool own = !childAt(event->position().toPoint());
    if (event->buttons() == event->button())
        m_pressOnSurface = own;
    if (!own || event->button() != Qt::LeftButton || event->position().y() > chrome::kDragBandBottom)
        return;
    // Only the pressed button is drawn; the other keeps what it shows.
    switch (chrome::buttonAt(event->position(), width())) {
    case chrome::Button::Minimise:
        drawButtonCells(chrome::Cell::Pressed, std::nullopt);
        return;
    case chrome::Button::Close:
        drawButtonCells(std::nullopt, chrome::Cell::Pressed);
        return;
    case chrome::Button::None:
        break;
    }
    // The title band moves the window. The window manager does it where it
    // can; elsewhere the window follows the pointer until the release.
    // Either way the release belongs to the move.
    m_pressOnSurface = false;
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
    const bool own = m_pressOnSurface;
    if (event->buttons() == Qt::NoButton)
        m_pressOnSurface = false;
    if (!own)
        return;
    // The release alone decides, whatever the button and wherever on the
    // window's surface the press was.
    pressTitleButton(chrome::buttonAt(event->position(), width()));
}

void Form1::changeEvent(QEvent *event)
{
    // Coming back from the taskbar the window is painted afresh, both buttons
    // in their normal look.
    if (event->type() == QEvent::WindowStateChange && !isMinimized())
        update();
    QWidget::changeEvent(event);
}
