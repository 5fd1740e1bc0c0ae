#include "app/controls.h"
#include "app/form1.h"
#include "site/httpserver.h"
#include "support/fakes.h"

#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

namespace {

enum class Outcome { Nothing, Minimised, Ended };
enum class Shows { Normal, Hover, Pressed, NoneOfItsCells };

// Sends one mouse event straight to `widget`, as the window system would
// deliver it to that widget's own surface.
void mouse(QWidget *widget, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void press(QWidget *w, QPoint at, Qt::MouseButton b = Qt::LeftButton)
{
    mouse(w, QEvent::MouseButtonPress, at, b, b);
}
void moveTo(QWidget *w, QPoint at, Qt::MouseButtons held = Qt::NoButton)
{
    mouse(w, QEvent::MouseMove, at, Qt::NoButton, held);
}
void release(QWidget *w, QPoint at, Qt::MouseButton b = Qt::LeftButton)
{
    mouse(w, QEvent::MouseButtonRelease, at, b, Qt::NoButton);
}

} // namespace

Q_DECLARE_METATYPE(Outcome)
Q_DECLARE_METATYPE(Shows)

class TestChrome final : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void artHasItsSizes_data();
    void artHasItsSizes();
    void avatarMaskIsARoundHole();
    void buttonLooksDiffer();
    void paintedFramePixels_data();
    void paintedFramePixels();
    void releaseDecides_data();
    void releaseDecides();
    void screenReaderPressesTitleButtons_data();
    void screenReaderPressesTitleButtons();
    void pressShowsPressedCell_data();
    void pressShowsPressedCell();
    void moveShowsHoverCell_data();
    void moveShowsHoverCell();
    void restoreRepaintsButtonsNormal();
    void titleBandMovesTheWindow_data();
    void titleBandMovesTheWindow();
    void downloadPanelDragsInsideTheWindow();
    void headerDividerDragRefused();
    void headerDividerDoubleClickRefused();

private:
    std::unique_ptr<Form1> loadedWindow();
    // Which cell of the sprite sheet each title-bar button shows right now.
    static Shows minimiseShows(Form1 &window);
    static Shows closeShows(Form1 &window);

    std::unique_ptr<LoopbackServer> m_server;
    std::unique_ptr<QTemporaryDir> m_folder;
    FakePlatform m_fakes;
};

void TestChrome::init()
{
    m_server = std::make_unique<LoopbackServer>();
    QVERIFY(m_server->start());
    m_server->setHandler([](const HttpRequest &) { return HttpResponse::text(200, "kw:V3.3|"); });
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
}

void TestChrome::cleanup()
{
    m_server.reset();
    m_folder.reset();
}

std::unique_ptr<Form1> TestChrome::loadedWindow()
{
    auto window = std::make_unique<Form1>(testConfig(m_server->base(), m_folder->path()), m_fakes.make());
    if (!loadAndWait(*window))
        qWarning("the update check did not answer");
    if (!QTest::qWaitForWindowExposed(window.get()))
        qWarning("the window was not exposed; what it shows cannot be read");
    return window;
}

namespace {

// Which of its three cells (normal, hover, pressed) a title-bar button shows
// on screen at `place` of the window. (Grabbing the widget would repaint it.)
Shows shownCell(Form1 &window, QRect place, const QList<QRect> &cells)
{
    const QImage shown = window.screen()
                             ->grabWindow(window.winId(), place.x(), place.y(), place.width(), place.height())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    const QImage sheet = window.Image9->picture().toImage().convertToFormat(QImage::Format_RGB32);
    for (int i = 0; i < cells.size(); ++i)
        if (sheet.copy(cells[i]) == shown)
            return static_cast<Shows>(i);
    return Shows::NoneOfItsCells;
}

} // namespace

Shows TestChrome::minimiseShows(Form1 &window)
{
    return shownCell(window, {window.width() - 80, 2, 29, 20}, {{0, 0, 29, 20}, {0, 21, 29, 20}, {0, 41, 29, 20}});
}

Shows TestChrome::closeShows(Form1 &window)
{
    return shownCell(window, {window.width() - 51, 2, 41, 20}, {{29, 0, 41, 20}, {29, 21, 41, 20}, {29, 42, 41, 20}});
}

void TestChrome::artHasItsSizes_data()
{
    QTest::addColumn<QString>("resource");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("alpha");
    QTest::newRow("title banner") << ":/art/banner.png" << QSize(400, 70) << false;
    QTest::newRow("button sheet") << ":/art/titlebuttons.png" << QSize(70, 69) << false;
    QTest::newRow("frame tile") << ":/art/frame.png" << QSize(13, 101) << false;
    QTest::newRow("crimson swatch") << ":/art/swatch.png" << QSize(20, 20) << false;
    QTest::newRow("default avatar") << ":/art/avatar.png" << QSize(90, 90) << false;
    QTest::newRow("avatar mask") << ":/art/avatarmask.png" << QSize(180, 180) << true;
    QTest::newRow("video badge") << ":/art/mvbadge.png" << QSize(32, 23) << true;
    QTest::newRow("parse button") << ":/art/parse.png" << QSize(106, 100) << true;
    QTest::newRow("close glyph") << ":/art/close16.png" << QSize(16, 16) << true;
    QTest::newRow("pointing hand") << ":/art/hand.png" << QSize(32, 32) << true;
}

void TestChrome::artHasItsSizes()
{
    QFETCH(QString, resource);
    QFETCH(QSize, size);
    QFETCH(bool, alpha);
    auto window = loadedWindow(); // brings the art in
    const QImage art(resource);
    QCOMPARE(art.size(), size);
    QCOMPARE(art.hasAlphaChannel(), alpha);
}

void TestChrome::avatarMaskIsARoundHole()
{
    auto window = loadedWindow();
    const QImage mask(QStringLiteral(":/art/avatarmask.png"));
    QCOMPARE(qAlpha(mask.pixel(90, 90)), 0);
    QCOMPARE(qAlpha(mask.pixel(90, 40)), 0);
    for (const QPoint corner : {QPoint(0, 0), QPoint(179, 0), QPoint(0, 179), QPoint(179, 179), QPoint(20, 20)})
        QCOMPARE(qAlpha(mask.pixel(corner)), 255);
}

// Hover and pressed cells can be told from the normal ones, which the tests
// of the buttons' looks rely on.
void TestChrome::buttonLooksDiffer()
{
    auto window = loadedWindow();
    const QImage sheet = window->Image9->picture().toImage();
    QVERIFY(sheet.copy(0, 0, 29, 20) != sheet.copy(0, 21, 29, 20));
    QVERIFY(sheet.copy(0, 21, 29, 20) != sheet.copy(0, 41, 29, 20));
    QVERIFY(sheet.copy(29, 0, 41, 20) != sheet.copy(29, 21, 41, 20));
    QVERIFY(sheet.copy(29, 21, 41, 20) != sheet.copy(29, 42, 41, 20));
}

void TestChrome::paintedFramePixels_data()
{
    // A point of the window and the picture point that must show there.
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QPoint>("from");
    const int w = 1063, h = 575;
    QTest::newRow("band left end") << QPoint(3, 40) << "Image10" << QPoint(3, 40);
    QTest::newRow("band middle, stretched") << QPoint(600, 12) << "Image10" << QPoint(6, 12);
    QTest::newRow("band middle, low") << QPoint(900, 90) << "Image10" << QPoint(6, 90);
    QTest::newRow("band right end") << QPoint(w - 4, 40) << "Image10" << QPoint(9, 40);
    QTest::newRow("left edge over the band") << QPoint(1, 70) << "Image10" << QPoint(1, 68);
    QTest::newRow("left edge") << QPoint(1, 310) << "Image10" << QPoint(1, 81);
    QTest::newRow("right edge") << QPoint(w - 2, 310) << "Image10" << QPoint(11, 81);
    QTest::newRow("bottom-left corner") << QPoint(2, h - 2) << "Image10" << QPoint(2, 99);
    QTest::newRow("bottom edge, stretched") << QPoint(500, h - 1) << "Image10" << QPoint(6, 100);
    QTest::newRow("bottom-right corner") << QPoint(w - 1, h - 5) << "Image10" << QPoint(12, 96);
    QTest::newRow("minimise button") << QPoint(w - 80 + 14, 2 + 10) << "Image9" << QPoint(14, 10);
    QTest::newRow("close button's first column") << QPoint(w - 51, 2 + 5) << "Image9" << QPoint(29, 5);
    QTest::newRow("close button") << QPoint(w - 51 + 20, 2 + 10) << "Image9" << QPoint(49, 10);
    QTest::newRow("banner top-left") << QPoint(10, 16) << "Image8" << QPoint(0, 0);
    QTest::newRow("banner logo") << QPoint(10 + 34, 16 + 35) << "Image8" << QPoint(34, 35);
    QTest::newRow("banner bottom-right") << QPoint(409, 85) << "Image8" << QPoint(399, 69);
}

void TestChrome::paintedFramePixels()
{
    QFETCH(QPoint, at);
    QFETCH(QString, picture);
    QFETCH(QPoint, from);
    auto window = loadedWindow();
    auto *source = window->findChild<ImageBox *>(picture);
    QVERIFY(source);
    const QImage shown = window->grab().toImage();
    const QImage art = source->picture().toImage();
    QCOMPARE(QColor(shown.pixel(at)), QColor(art.pixel(from)));
}

void TestChrome::releaseDecides_data()
{
    QTest::addColumn<QPoint>("pressAt"); // relative to the top-right corner
    QTest::addColumn<QPoint>("releaseAt");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<Outcome>("outcome");
    const auto L = Qt::LeftButton, R = Qt::RightButton;
    const QPoint away(-200, 90); // a press on the bare surface that starts nothing
    QTest::newRow("minimise") << QPoint(-60, 10) << QPoint(-60, 10) << L << Outcome::Minimised;
    QTest::newRow("shared column minimises") << QPoint(-51, 10) << QPoint(-51, 10) << L << Outcome::Minimised;
    QTest::newRow("minimise box left edge") << away << QPoint(-80, 2) << L << Outcome::Minimised;
    QTest::newRow("left of the minimise box") << away << QPoint(-81, 10) << L << Outcome::Nothing;
    QTest::newRow("close") << QPoint(-30, 10) << QPoint(-30, 10) << L << Outcome::Ended;
    QTest::newRow("close box right edge") << away << QPoint(-10, 22) << L << Outcome::Ended;
    QTest::newRow("right of the close box") << away << QPoint(-9, 10) << L << Outcome::Nothing;
    QTest::newRow("below the buttons") << away << QPoint(-30, 23) << L << Outcome::Nothing;
    QTest::newRow("above the buttons") << away << QPoint(-30, 1) << L << Outcome::Nothing;
    QTest::newRow("press minimise, release close") << QPoint(-60, 10) << QPoint(-30, 10) << L << Outcome::Ended;
    QTest::newRow("press close, release beside") << QPoint(-30, 10) << QPoint(-5, 10) << L << Outcome::Nothing;
    QTest::newRow("press elsewhere, release minimise") << away << QPoint(-60, 10) << L << Outcome::Minimised;
    // A press in the title band moves the window; its release belongs to the move.
    QTest::newRow("press in the band, release minimise") << QPoint(-90, 10) << QPoint(-60, 10) << L << Outcome::Nothing;
    QTest::newRow("right button over close") << QPoint(-30, 10) << QPoint(-30, 10) << R << Outcome::Ended;
    QTest::newRow("right button over minimise") << QPoint(-60, 10) << QPoint(-60, 10) << R << Outcome::Minimised;
    // Children pass the presses they do not take on to the window; those stay theirs.
    const QPoint statusLine(128 + 5 - 1063, 549 + 5), singerPanel(736 - 1063, 284), bottomStrip(600 - 1063, 540);
    QTest::newRow("press on the status line, release close") << statusLine << QPoint(-30, 10) << L << Outcome::Nothing;
    QTest::newRow("press on the status line, release minimise")
        << statusLine << QPoint(-60, 10) << L << Outcome::Nothing;
    QTest::newRow("press on a panel, release close") << singerPanel << QPoint(-30, 10) << L << Outcome::Nothing;
    QTest::newRow("right press on a picture, release close") << bottomStrip << QPoint(-30, 10) << R << Outcome::Nothing;
}

void TestChrome::releaseDecides()
{
    QFETCH(QPoint, pressAt);
    QFETCH(QPoint, releaseAt);
    QFETCH(Qt::MouseButton, button);
    QFETCH(Outcome, outcome);
    auto window = loadedWindow();
    QSignalSpy ended(window.get(), &Form1::programEnded);
    m_fakes.mci->commands.clear();
    const QPoint corner(window->width(), 0);
    // As the window system does: the press goes to whatever lies under the
    // pointer, and the release to the same widget, wherever the pointer is.
    QWidget *pressed = window->childAt(corner + pressAt);
    if (!pressed)
        pressed = window.get();
    const auto on = [&](QPoint at) { return pressed->mapFrom(window.get(), corner + at); };

    press(pressed, on(pressAt), button);
    QVERIFY(window->isVisible() && !window->isMinimized()); // the press alone decides nothing
    release(pressed, on(releaseAt), button);

    QCOMPARE(window->isMinimized(), outcome == Outcome::Minimised);
    QCOMPARE(window->hasEnded(), outcome == Outcome::Ended);
    QCOMPARE(ended.size(), outcome == Outcome::Ended ? 1 : 0);
    // Ending sends "close all" once, without the closing handler's own.
    QCOMPARE(m_fakes.mci->commands,
             outcome == Outcome::Ended ? QStringList{QStringLiteral("close all")} : QStringList{});
    QCOMPARE(window->isVisible(), outcome != Outcome::Ended);
}

void TestChrome::screenReaderPressesTitleButtons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Outcome>("outcome");
    QTest::newRow("minimise") << "最小化" << Outcome::Minimised;
    QTest::newRow("close") << "关闭程序" << Outcome::Ended;
}

// The painted buttons are found among the window's accessible children by
// name, as buttons over their painted places, and pressed as a reader does.
void TestChrome::screenReaderPressesTitleButtons()
{
    QFETCH(QString, name);
    QFETCH(Outcome, outcome);
    auto window = loadedWindow();
    m_fakes.mci->commands.clear();
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(window.get());
    QAccessibleInterface *button = nullptr;
    for (int i = 0; i < face->childCount() && !button; ++i)
        if (face->child(i)->text(QAccessible::Name) == name)
            button = face->child(i);
    QVERIFY(button);
    QCOMPARE(button->role(), QAccessible::Button);
    const QPoint origin = window->mapToGlobal(QPoint(0, 0));
    const QRect painted =
        outcome == Outcome::Minimised ? QRect(window->width() - 80, 2, 29, 20) : QRect(window->width() - 51, 2, 41, 20);
    QCOMPARE(button->rect(), painted.translated(origin));
    button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_COMPARE(window->isMinimized(), outcome == Outcome::Minimised);
    QTRY_COMPARE(window->hasEnded(), outcome == Outcome::Ended);
    QCOMPARE(m_fakes.mci->commands,
             outcome == Outcome::Ended ? QStringList{QStringLiteral("close all")} : QStringList{});
}

void TestChrome::pressShowsPressedCell_data()
{
    QTest::addColumn<QPoint>("at"); // relative to the top-right corner
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<Shows>("minimise");
    QTest::addColumn<Shows>("close");
    QTest::newRow("minimise") << QPoint(-70, 12) << Qt::LeftButton << Shows::Pressed << Shows::Normal;
    QTest::newRow("shared column") << QPoint(-51, 12) << Qt::LeftButton << Shows::Pressed << Shows::Normal;
    QTest::newRow("close") << QPoint(-50, 12) << Qt::LeftButton << Shows::Normal << Shows::Pressed;
    QTest::newRow("right button") << QPoint(-70, 12) << Qt::RightButton << Shows::Normal << Shows::Normal;
    QTest::newRow("beside the buttons") << QPoint(-5, 12) << Qt::LeftButton << Shows::Normal << Shows::Normal;
}

void TestChrome::pressShowsPressedCell()
{
    QFETCH(QPoint, at);
    QFETCH(Qt::MouseButton, button);
    QFETCH(Shows, minimise);
    QFETCH(Shows, close);
    auto window = loadedWindow();
    QCOMPARE(minimiseShows(*window), Shows::Normal);
    QCOMPARE(closeShows(*window), Shows::Normal);
    press(window.get(), QPoint(window->width(), 0) + at, button);
    QCOMPARE(minimiseShows(*window), minimise);
    QCOMPARE(closeShows(*window), close);
}

void TestChrome::moveShowsHoverCell_data()
{
    QTest::addColumn<QPoint>("at"); // relative to the top-right corner
    QTest::addColumn<Qt::MouseButtons>("held");
    QTest::addColumn<Shows>("minimise");
    QTest::addColumn<Shows>("close");
    QTest::newRow("minimise") << QPoint(-70, 12) << Qt::MouseButtons() << Shows::Hover << Shows::Normal;
    QTest::newRow("shared column") << QPoint(-51, 2) << Qt::MouseButtons() << Shows::Hover << Shows::Normal;
    QTest::newRow("close") << QPoint(-11, 22) << Qt::MouseButtons() << Shows::Normal << Shows::Hover;
    QTest::newRow("held button changes nothing")
        << QPoint(-30, 12) << Qt::MouseButtons(Qt::RightButton) << Shows::Normal << Shows::Hover;
    QTest::newRow("below the row") << QPoint(-30, 23) << Qt::MouseButtons() << Shows::Normal << Shows::Normal;
    QTest::newRow("far away") << QPoint(-700, 90) << Qt::MouseButtons() << Shows::Normal << Shows::Normal;
    // Over a child the moves are the child's: the close button keeps its hover.
    QTest::newRow("over a panel") << QPoint(-500, 300) << Qt::MouseButtons() << Shows::Normal << Shows::Hover;
}

void TestChrome::moveShowsHoverCell()
{
    QFETCH(QPoint, at);
    QFETCH(Qt::MouseButtons, held);
    QFETCH(Shows, minimise);
    QFETCH(Shows, close);
    auto window = loadedWindow();
    const QPoint corner(window->width(), 0);
    // Start from the other hover, so that every row has something to undo.
    const QPoint start = corner + QPoint(at.x() < -50 ? -30 : -70, 12);
    moveTo(window.get(), start);
    if (held != Qt::NoButton)
        press(window.get(), start, Qt::MouseButton(held.toInt()));
    moveTo(window.get(), corner + at, held);
    QCOMPARE(minimiseShows(*window), minimise);
    QCOMPARE(closeShows(*window), close);
}

void TestChrome::restoreRepaintsButtonsNormal()
{
    auto window = loadedWindow();
    const QPoint corner(window->width(), 0);
    moveTo(window.get(), corner + QPoint(-60, 10));
    press(window.get(), corner + QPoint(-60, 10));
    release(window.get(), corner + QPoint(-60, 10));
    QVERIFY(window->isMinimized());
    window->showNormal();
    QTRY_COMPARE(minimiseShows(*window), Shows::Normal);
    QCOMPARE(closeShows(*window), Shows::Normal);

    // Nothing remembers a hover or a press: any repaint draws both normal.
    moveTo(window.get(), corner + QPoint(-30, 10));
    press(window.get(), corner + QPoint(-60, 10));
    QCOMPARE(minimiseShows(*window), Shows::Pressed);
    QCOMPARE(closeShows(*window), Shows::Hover);
    window->repaint();
    QCOMPARE(minimiseShows(*window), Shows::Normal);
    QCOMPARE(closeShows(*window), Shows::Normal);
}

void TestChrome::titleBandMovesTheWindow_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<bool>("moves");
    QTest::newRow("on the banner") << QPoint(100, 40) << Qt::LeftButton << true;
    QTest::newRow("band beside the banner") << QPoint(700, 10) << Qt::LeftButton << true;
    QTest::newRow("top row") << QPoint(700, 0) << Qt::LeftButton << true;
    QTest::newRow("last band row") << QPoint(700, 68) << Qt::LeftButton << true;
    QTest::newRow("beside the close button") << QPoint(1063 - 5, 10) << Qt::LeftButton << true;
    QTest::newRow("under the buttons") << QPoint(1063 - 30, 30) << Qt::LeftButton << true;
    QTest::newRow("first row below the band") << QPoint(700, 69) << Qt::LeftButton << false;
    QTest::newRow("right button") << QPoint(700, 10) << Qt::RightButton << false;
    QTest::newRow("on the minimise button") << QPoint(1063 - 60, 10) << Qt::LeftButton << false;
}

void TestChrome::titleBandMovesTheWindow()
{
    QFETCH(QPoint, at);
    QFETCH(Qt::MouseButton, button);
    QFETCH(bool, moves);
    auto window = loadedWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->move(50, 60);
    QTRY_COMPARE(window->pos(), QPoint(50, 60));
    const QPoint start = window->pos();
    const QPoint step(25, 15);

    press(window.get(), at, button);
    moveTo(window.get(), at + step, button);
    QTRY_COMPARE(window->pos(), moves ? start + step : start);
    // The pointer is back over the same point of the moved window.
    release(window.get(), moves ? at : at + step, button);
    QCOMPARE(window->pos(), moves ? start + step : start);
    QVERIFY(window->isVisible() && !window->isMinimized());

    // Once released, moving the pointer no longer moves the window.
    moveTo(window.get(), at + step);
    QCOMPARE(window->pos(), moves ? start + step : start);
}

void TestChrome::downloadPanelDragsInsideTheWindow()
{
    auto window = loadedWindow();
    QWidget *panel = window->Picture3;
    panel->show();
    const QPoint start = panel->pos();
    const QPoint grip(200, 6); // the panel's own surface, clear of its controls

    press(panel, grip, Qt::RightButton);
    moveTo(panel, grip + QPoint(-400, 30), Qt::RightButton);
    QCOMPARE(panel->pos(), start + QPoint(-400, 30)); // no bounds: partly outside the window
    release(panel, grip, Qt::RightButton);
    moveTo(panel, grip + QPoint(10, 10));
    QCOMPARE(panel->pos(), start + QPoint(-400, 30));
    QVERIFY(!window->isMinimized() && window->isVisible());

    // Its labels, inner panels and progress bar pass presses on; they are no grip.
    for (QWidget *child :
         std::initializer_list<QWidget *>{window->Label12, window->Picture5, window->ProgressBar1, window->Label15}) {
        const QPoint before = panel->pos();
        press(child, {2, 2});
        moveTo(child, {60, 60}, Qt::LeftButton);
        release(child, {60, 60});
        QVERIFY2(panel->pos() == before, qPrintable(child->objectName()));
    }

    // A press on one of its buttons is the button's, not a drag.
    QPushButton *browse = window->Command1;
    const QPoint before = panel->pos();
    press(browse, {10, 10});
    moveTo(browse, {60, 60}, Qt::LeftButton);
    release(browse, {60, 60});
    QCOMPARE(panel->pos(), before);
}

namespace {

// A header whose first column holds far more text than its width shows.
QHeaderView *filledHeader(Form1 &window)
{
    QTreeWidget *list = window.ListView1;
    new QTreeWidgetItem(list, {QStringLiteral("一个很长很长很长很长很长很长的序号"), QStringLiteral("5200109"),
                               QStringLiteral("晴天"), QStringLiteral("http://x/loadplayurl.php?wid=5200109")});
    return list->header();
}

void checkWidthsKept(QHeaderView *header)
{
    QCOMPARE(header->sectionSize(0), 60);
    QCOMPARE(header->sectionSize(1), 100);
    QCOMPARE(header->sectionSize(2), 260);
    QVERIFY(header->isSectionHidden(3));
}

} // namespace

void TestChrome::headerDividerDragRefused()
{
    auto window = loadedWindow();
    QHeaderView *header = filledHeader(*window);
    QWidget *surface = header->viewport();
    const int y = header->height() / 2;
    for (const int divider : {59, 159, 419}) { // the right end of columns 1, 2 and 3
        press(surface, {divider, y});
        moveTo(surface, {divider + 120, y}, Qt::LeftButton);
        release(surface, {divider + 120, y});
        checkWidthsKept(header);
        if (QTest::currentTestFailed())
            return;
    }
    // Where the hidden column would begin, dragging left does not reveal it.
    press(surface, {421, y});
    moveTo(surface, {480, y}, Qt::LeftButton);
    release(surface, {480, y});
    checkWidthsKept(header);

    // Dragging a header by its middle does not reorder the columns; the
    // header shows the list's pointing hand all along.
    press(surface, {110, y});
    moveTo(surface, {200, y}, Qt::LeftButton);
    moveTo(surface, {400, y}, Qt::LeftButton);
    release(surface, {400, y});
    QCOMPARE(header->logicalIndexAt(110), 1);
    moveTo(surface, {30, y});
    QCOMPARE(surface->cursor().shape(), Qt::BitmapCursor);
}

void TestChrome::headerDividerDoubleClickRefused()
{
    auto window = loadedWindow();
    QHeaderView *header = filledHeader(*window);
    QWidget *surface = header->viewport();
    const int y = header->height() / 2;
    for (const int divider : {59, 159, 419}) {
        press(surface, {divider, y});
        release(surface, {divider, y});
        mouse(surface, QEvent::MouseButtonDblClick, {divider, y}, Qt::LeftButton, Qt::LeftButton);
        release(surface, {divider, y});
        checkWidthsKept(header);
        if (QTest::currentTestFailed())
            return;
    }
    // The program itself can still set a width.
    header->resizeSection(2, 300);
    QCOMPARE(header->sectionSize(2), 300);
}

QTEST_MAIN(TestChrome)
#include "tst_chrome.moc"
