#pragma once

#include <QPointF>
#include <QRect>

class QHeaderView;
class QTreeWidget;

// The painted frame of the borderless main window: where its pieces go and
// which title-bar button lies under a point. All coordinates are pixels of the
// window's client area.
namespace chrome {

enum class Button { None, Minimise, Close };
enum class Cell { Normal, Hover, Pressed };

// The last row of the title band's top part, where a press moves the window.
constexpr int kDragBandBottom = 68;

// The title-bar button whose hit box holds p, for a window `width` wide. The
// boxes share the column x = width - 51; it belongs to minimise.
Button buttonAt(QPointF p, int width);

// Where a button is drawn, and its cell on the button sprite sheet.
QRect buttonPlace(Button button, int width);
QRect spriteCell(Button button, Cell cell);

// The column widths of `list` can no longer be changed by the user: dividers
// neither drag nor size to contents on a double-click, and a hidden column
// stays hidden, and the columns cannot be reordered. The program may still set
// widths itself.
void lockColumnWidths(QTreeWidget *list);

} // namespace chrome
