#include "app/qtservices.h"

#include "app/mediamodule.h"
#include "player/mciinterpreter.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace {

QMessageBox::Icon toQt(MessageBoxService::Icon icon)
{
    switch (icon) {
    case MessageBoxService::Icon::Information:
        return QMessageBox::Information;
    case MessageBoxService::Icon::Warning:
        return QMessageBox::Warning;
    case MessageBoxService::Icon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// Notices can carry text from the network (the version file). A box shows it
// as text, never as markup that links, loads pictures or sizes the box, and
// no more of it than a box on a screen can hold.
constexpr int kShownCharacters = 1024;
constexpr int kShownLines = 24;

void showAsText(QMessageBox &box, const QString &text)
{
    QString shown = text.left(kShownCharacters);
    int lineBreaks = 0;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const QChar c = shown.at(i);
        const bool lineBreak = c == QLatin1Char('\n') || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
        if (lineBreak && ++lineBreaks == kShownLines) {
            shown.truncate(i);
            break;
        }
    }
    if (shown.size() < text.size())
        shown += QChar(0x2026);
    box.setTextFormat(Qt::PlainText);
    box.setText(shown);
    box.setWindowIcon(QIcon());
}

// Opens a URL the way the desktop would, without waiting for the program.
bool openDetached(const QUrl &url)
{
    if (!url.isValid() || url.isEmpty())
        return false;
    if (!QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty() &&
        QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)}))
        return true;
    return QDesktopServices::openUrl(url);
}

// Whether xdg-open will find a web browser for a page: $BROWSER, the desktop's
// default for HTML, or one of the browsers it falls back to. Without one it
// starts, fails and tells nobody.
bool webBrowserPresent()
{
    if (!qEnvironmentVariableIsEmpty("BROWSER"))
        return true;
    for (const char *name :
         {"x-www-browser", "www-browser", "firefox", "firefox-esr", "chromium", "chromium-browser", "google-chrome",
          "epiphany", "konqueror", "falkon", "seamonkey", "links2", "elinks", "links", "lynx", "w3m"})
        if (!QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty())
            return true;
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
    return query.waitForFinished(3000) && query.exitCode() == 0 && !query.readAllStandardOutput().trimmed().isEmpty();
}

} // namespace

void QtMessageBoxService::inform(QWidget *parent, const QString &title, const QString &text, Icon icon,
                                 const QString &detail)
{
    QMessageBox box(toQt(icon), title, QString(), QMessageBox::Ok, parent);
    showAsText(box, text);
    // Detailed text is always plain; only its length needs a bound.
    if (!detail.isEmpty())
        box.setDetailedText(detail.left(kShownCharacters));
    box.exec();
}

bool QtMessageBoxService::ask(QWidget *parent, const QString &title, const QString &text, Icon icon)
{
    QMessageBox box(toQt(icon), title, QString(), QMessageBox::Yes | QMessageBox::No, parent);
    showAsText(box, text);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtSaveDialogService::chooseSaveFile(QWidget *parent, const QString &title,
                                                           const QString &proposedPath,
                                                           const QString &filterDescription, const QString &pattern)
{
    const QString filter = QStringLiteral("%1 (%2)").arg(filterDescription, pattern);
    const QString chosen = QFileDialog::getSaveFileName(parent, title, proposedPath, filter);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

QString QtClipboardService::text() const
{
    const QClipboard *clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->text(QClipboard::Clipboard) : QString();
}

void QtClipboardService::setText(const QString &text)
{
    if (QClipboard *clipboard = QGuiApplication::clipboard()) {
        clipboard->clear(QClipboard::Clipboard);
        clipboard->setText(text, QClipboard::Clipboard);
    }
}

bool DesktopLauncher::openAddress(const QString &address)
{
    return openDetached(QUrl(address, QUrl::TolerantMode));
}

bool DesktopLauncher::openFile(const QString &path)
{
    const QFileInfo file(path);
    if (!file.exists())
        return false;
    const bool page = file.suffix().startsWith(QLatin1String("htm"), Qt::CaseInsensitive);
    if (page && !QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty() && !webBrowserPresent())
        return false;
    return openDetached(QUrl::fromLocalFile(path));
}

bool DesktopLauncher::showInFolder(const QString &path)
{
    const QFileInfo file(path);
    if (!file.exists())
        return false;
    // File managers that speak the freedesktop interface can select the file;
    // any other gets its folder opened.
    QDBusConnection bus = QDBusConnection::sessionBus();
    static const QString service = QStringLiteral("org.freedesktop.FileManager1");
    if (bus.isConnected() && bus.interface()) {
        const bool present = bus.interface()->isServiceRegistered(service).value() ||
                             bus.interface()->activatableServiceNames().value().contains(service);
        if (present) {
            QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"),
                                                               service, QStringLiteral("ShowItems"));
            call << QStringList{QUrl::fromLocalFile(file.absoluteFilePath()).toString()} << QString();
            if (bus.send(call))
                return true;
        }
    }
    return openDetached(QUrl::fromLocalFile(file.absolutePath()));
}

Platform::Platform() = default;
Platform::Platform(Platform &&) noexcept = default;
Platform &Platform::operator=(Platform &&) noexcept = default;
Platform::~Platform() = default;

Platform Platform::desktop()
{
    Platform platform;
    platform.messageBox = std::make_unique<QtMessageBoxService>();
    platform.saveDialog = std::make_unique<QtSaveDialogService>();
    platform.clipboard = std::make_unique<QtClipboardService>();
    platform.launcher = std::make_unique<DesktopLauncher>();
    platform.mci = std::make_unique<MciInterpreter>(&newModuleMediaDevice);
    return platform;
}
