#pragma once

#include "app/services.h"
#include "config/appconfig.h"
#include "player/mciinterpreter.h"
#include "player/mediadevice.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>

#include <deque>
#include <memory>
#include <optional>

// Stand-ins for the desktop services: each records what the window asked of
// it and answers as the test says.

class FakeMessageBox final : public MessageBoxService
{
public:
    struct Shown
    {
        QString title;
        QString text;
        Icon icon;
        bool question;
        QString detail;
    };
    QList<Shown> shown;
    std::deque<bool> answers; // for ask(): popped in order, No when empty

    void inform(QWidget *, const QString &title, const QString &text, Icon icon, const QString &detail) override;
    bool ask(QWidget *, const QString &title, const QString &text, Icon icon) override;
};

class FakeSaveDialog final : public SaveDialogService
{
public:
    QStringList proposed;
    std::optional<QString> answer;

    std::optional<QString> chooseSaveFile(QWidget *, const QString &, const QString &proposedPath, const QString &,
                                          const QString &) override;
};

class FakeClipboard final : public ClipboardService
{
public:
    QString content;
    QString text() const override { return content; }
    void setText(const QString &text) override { content = text; }
};

class FakeLauncher final : public Launcher
{
public:
    QStringList addresses;
    QStringList files;
    QStringList selected;
    bool succeed = true;

    bool openAddress(const QString &address) override;
    bool openFile(const QString &path) override;
    bool showInFolder(const QString &path) override;
};

class RecordingMci final : public MciService
{
public:
    QStringList commands;
    int sendString(const QString &command) override;
    // The open stream failing, as the media layer would report it.
    void fail(const StreamFailure &failure) { reportFailure(failure); }
};

// How the fake sound system behaves for every device made on it.
struct FakeSound final
{
    bool advances = true;                    // a playing stream's position moves on
    std::optional<StreamFailure> failOnPlay; // reported from the event loop after play
};

// A device of the fake sound system: plays nothing, and its position moves
// on with the clock while it plays, unless the sound says otherwise.
class FakeMediaDevice final : public MediaDevice
{
public:
    explicit FakeMediaDevice(FakeSound &sound);
    bool open(const QUrl &source) override { return source.isValid(); }
    void play() override;
    void setVolume(int) override {}
    qint64 position() const override;
    bool atEnd() const override { return false; }

private:
    FakeSound &m_sound;
    QElapsedTimer m_playing;
    std::unique_ptr<QObject> m_reports; // goes with the device, and its reports with it
};

// The running window's side of the one-window gate; start() is a later start.
class FakeInstanceGate final : public InstanceGate
{
public:
    Claim claim(const StartRequest &) override { return Claim::First; }
    void setRequestHandler(Handler handler) override { m_handler = std::move(handler); }
    void start(const StartRequest &request) { m_handler(request); }

private:
    Handler m_handler;
};

// A platform made of fakes, with the fakes still reachable by the test (the
// window owns them; they live as long as it does).
struct FakePlatform final
{
    FakeMessageBox *messageBox = nullptr;
    FakeSaveDialog *saveDialog = nullptr;
    FakeClipboard *clipboard = nullptr;
    FakeLauncher *launcher = nullptr;
    RecordingMci *mci = nullptr;      // the recording player, when the window has it
    MciInterpreter *player = nullptr; // the interpreter over `sound`, when the window has that
    FakeInstanceGate *instanceGate = nullptr;

    Platform make();
    // A platform whose player is the real interpreter over the fake sound system.
    Platform make(FakeSound &sound);
};

// Configuration aimed at a loopback server and a scratch program folder.
AppConfig testConfig(const QString &base, const QString &programFolder);

class Form1;

// Starts `window` (Form1::load) and waits until its update check has answered.
bool loadAndWait(Form1 &window, int timeoutMs = 10000);

// Puts `address` into Text1, presses the parse button and waits until the
// parse has ended, its avatar in place.
bool lookUpAndWait(Form1 &window, const QString &address, int timeoutMs = 10000);
