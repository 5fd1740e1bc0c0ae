#include "app/form1.h"
#include "app/instancegate.h"
#include "app/mprisplayer.h"
#include "app/qtchinese.h"
#include "config/runconfig.h"
#include "update/updatecheck.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFontDatabase>
#include <QIcon>
#include <QTimer>

#include <cstdio>

#ifdef __GLIBC__
#include <malloc.h>
#endif

int main(int argc, char *argv[])
{
    // The desktop's leave to take the focus, handed to the running window
    // when there is one; read before Qt's own window could take it.
    const QString activationToken = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QLatin1String(update::kBuiltInVersion));
    // No display name: X11 would append it to every window title, and each
    // window's title is exactly its own.
    QApplication::setApplicationName(QStringLiteral("cantora-helper"));
    // The menu entry's name: Wayland takes it as the window's app id, and
    // taskbars match the window to its entry and icon by it.
    QGuiApplication::setDesktopFileName(DesktopInstanceGate::kBusName);
    installQtChinese(app);

    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Cantora辅助工具"));
    options.addHelpOption();
    options.addVersionOption();
    options.addPositionalArgument(QStringLiteral("address"), QStringLiteral("作品页地址: 在窗口中解析"),
                                  QStringLiteral("[address]"));
    options.process(app);
    const StartRequest request{options.positionalArguments().value(0).trimmed(), activationToken};

    // One window: a start while it runs brings that one to the front, with
    // the address, and ends here. The bus is reached while the window is made.
    auto gate = std::make_unique<DesktopInstanceGate>();
    gate->prepare();
    DesktopInstanceGate &instance = *gate;
    Platform platform = Platform::desktop();
    platform.instanceGate = std::move(gate);
    // Aimed where the command line would be: the CANTORA_* variables, else the build's addresses.
    Form1 window(runconfig::fromEnvironment(), std::move(platform));
    switch (instance.claim(request)) {
    case InstanceGate::Claim::HandedOver:
        return 0;
    case InstanceGate::Claim::Unanswered:
        std::fputs("cantora-helper: 程序已在运行, 但它的窗口没有回应\n", stderr);
        return 1;
    case InstanceGate::Claim::First:
        break;
    }
    QObject::connect(&window, &Form1::programEnded, &app, [] { QCoreApplication::exit(0); });
    QTimer::singleShot(0, &window, &Form1::load);
    if (!request.address.isEmpty())
        QTimer::singleShot(0, &window, [&window, &request] { window.lookUpWhenFree(request.address); });
    // The windows have no icon of their own and so show the program's: the
    // installed theme icon, else the drawing built in with the window's art.
    // Set once the window has painted: decoding the drawings and reading the
    // icon themes cost more than the whole first paint.
    QObject::connect(
        &window, &Form1::firstPainted, &window,
        [&window] {
            // The desktop's media controls see the player from now on.
            if (const std::optional<QDBusConnection> bus = sessionBusIfAny())
                new MprisPlayer(window, *bus);
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
