#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class MciService;
class QWidget;

// The window's ways out to the desktop. Each is a small interface so the
// window can be driven in tests with dialogs answered and launches recorded.

class MessageBoxService
{
public:
    enum class Icon { Information, Warning, Question };
    virtual ~MessageBoxService() = default;
    // Both show `text` as plain text, cut short (with "…") when it would not
    // fit on a screen.
    // A modal box with one OK button; a non-empty `detail` (the cause of a
    // failure) is there to be unfolded below the text.
    virtual void inform(QWidget *parent, const QString &title, const QString &text, Icon icon,
                        const QString &detail = QString()) = 0;
    // A modal box with Yes and No; true for Yes.
    virtual bool ask(QWidget *parent, const QString &title, const QString &text, Icon icon) = 0;
};

class SaveDialogService
{
public:
    virtual ~SaveDialogService() = default;
    // The full path chosen, or nothing when the user cancelled.
    virtual std::optional<QString> chooseSaveFile(QWidget *parent, const QString &title, const QString &proposedPath,
                                                  const QString &filterDescription, const QString &pattern) = 0;
};

class ClipboardService
{
public:
    virtual ~ClipboardService() = default;
    // Plain text on the clipboard; empty when it holds none.
    virtual QString text() const = 0;
    virtual void setText(const QString &text) = 0;
};

// Hands addresses and files to other programs without waiting for them.
// Each call returns false when nothing could be started.
class Launcher
{
public:
    virtual ~Launcher() = default;
    // A web address, in the default web browser.
    virtual bool openAddress(const QString &address) = 0;
    // A file, in the program associated with its type.
    virtual bool openFile(const QString &path) = 0;
    // The file manager on the file's folder, with the file selected.
    virtual bool showInFolder(const QString &path) = 0;
};

// What one start of the program asks of the window: a song-page address to
// look up (empty for none) and the desktop's token that lets the window take
// the focus (empty when the desktop gave none).
struct StartRequest final
{
    QString address;
    QString activationToken;
};

// Keeps one window per user session: a start either becomes the window or
// hands its request to the window already running and ends.
class InstanceGate
{
public:
    enum class Claim { First, HandedOver, Unanswered };
    using Handler = std::function<void(const StartRequest &)>;
    virtual ~InstanceGate() = default;
    // Once, before the window shows. Unanswered: another window holds the
    // place but did not take the request.
    virtual Claim claim(const StartRequest &request) = 0;
    // Later starts' requests reach `handler` from the event loop, those that
    // came before it was set first.
    virtual void setRequestHandler(Handler handler) = 0;
};

// Everything above, owned by the window that receives it.
struct Platform final
{
    std::unique_ptr<MessageBoxService> messageBox;
    std::unique_ptr<SaveDialogService> saveDialog;
    std::unique_ptr<ClipboardService> clipboard;
    std::unique_ptr<Launcher> launcher;
    std::unique_ptr<MciService> mci;
    std::unique_ptr<InstanceGate> instanceGate;

    Platform();
    Platform(Platform &&) noexcept;
    Platform &operator=(Platform &&) noexcept;
    ~Platform();

    // The desktop's own: Qt dialogs and clipboard, xdg-open and the file
    // manager's D-Bus interface, Qt Multimedia for sound. The one-window gate
    // is the program's to add: only its own start claims the place.
    static Platform desktop();
};
