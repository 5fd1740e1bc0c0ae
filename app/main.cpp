#include "app/form1.h"
#include "app/qtchinese.h"
#include "config/runconfig.h"

#include <QApplication>
#include <QFontDatabase>
#include <QIcon>
#include <QTimer>

#include <cstdio>

#ifdef __GLIBC__
#include <malloc.h>
#endif

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // No display name: X11 would append it to every window title, and each
    // window's title is exactly its own.
    QApplication::setApplicationName(QStringLiteral("cantora-helper"));
    // The menu entry's name: Wayland takes it as the window's app id, and
    // taskbars match the window to its entry and icon by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.cantora_helper.CantoraHelper"));
    installQtChinese(app);

    // Aimed where the command line would be: the CANTORA_* variables, else the build's addresses.
    Form1 window(runconfig::fromEnvironment(), Platform::desktop());
    QObject::connect(&window, &Form1::programEnded, &app, [] { QCoreApplication::exit(0); });
    QTimer::singleShot(0, &window, &Form1::load);
    // The windows have no icon of their own and so show the program's: the
    // installed theme icon, else the drawing built in with the window's art.
    // Set once the window has painted: decoding the drawings and reading the
    // icon themes cost more than the whole first paint.
    QObject::connect(
        &window, &Form1::firstPainted, &window,
        [] {
            QIcon builtIn;
            for (const int size : {16, 32, 48, 256})
                builtIn.addFile(QStringLiteral(":/art/icon-%1.png").arg(size));
            QApplication::setWindowIcon(
                QIcon::fromTheme(QStringLiteral("io.github.cantora_helper.CantoraHelper"), builtIn));
            // Nothing on screen would tell: every caption is a row of boxes.
            if (QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty())
                std::fputs("warning: no font with Chinese characters is installed; captions will show as boxes. "
                           "Install fonts-wqy-microhei or fonts-noto-cjk.\n",
                           stderr);
#ifdef __GLIBC__
            // Start-up is over: what the font configuration, the pictures
            // and the style sheet needed only while starting goes back to the
            // system, which the allocator would otherwise keep.
            malloc_trim(0);
#endif
        },
        Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
    return app.exec();
}
