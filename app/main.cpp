#include "app/form1.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("cantora-helper"));
    QApplication::setApplicationDisplayName(QStringLiteral("Cantora辅助工具"));

    Form1 window(AppConfig::fromBuild(), Platform::desktop());
    QObject::connect(&window, &Form1::programEnded, &app, [] { QCoreApplication::exit(0); });
    QTimer::singleShot(0, &window, &Form1::load);
    return app.exec();
}
