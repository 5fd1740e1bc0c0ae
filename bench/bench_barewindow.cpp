// The yardstick for bench_startup: an empty window of the main window's size,
// shown as soon as the application exists.

#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(1063, 575);
    window.show();
    return app.exec();
}
