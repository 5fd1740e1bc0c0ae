#include "app/form1.h"
#include "app/qtchinese.h"

#include <QApplication>
#include <QFontDatabase>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // No display name: X11 would append it to every window title, and each
    // window's title is exactly its own.
    QApplication::setApplicationName(QStringLiteral("cantora-helper"));
    installQtChinese(app);
    // Nothing on screen would tell: every caption is a row of boxes.
    if (QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty())
        std::fputs("warning: no font with Chinese characters is installed; captions will show as boxes. "
                   "Install fonts-wqy-microhei or fonts-noto-cjk.\n",
                   stderr);

    Form1 window(AppConfig::fromBuild(), Platform::desktop());
    QObject::connect(&window, &Form1::programEnded, &app, [] { QCoreApplication::exit(0); });
    QTimer::singleShot(0, &window, &Form1::load);
    return app.exec();
}
