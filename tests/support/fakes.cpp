#include "support/fakes.h"

#include "app/form1.h"
#include "app/songpanel.h"

#include <QLineEdit>
#include <QTest>
#include <QTimer>

void FakeMessageBox::inform(QWidget *, const QString &title, const QString &text, Icon icon, const QString &detail)
{
    shown.append({title, text, icon, false, detail});
}

bool FakeMessageBox::ask(QWidget *, const QString &title, const QString &text, Icon icon)
{
    shown.append({title, text, icon, true, {}});
    if (answers.empty())
        return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<QString> FakeSaveDialog::chooseSaveFile(QWidget *, const QString &, const QString &proposedPath,
                                                      const QString &, const QString &)
{
    proposed.append(proposedPath);
    return answer;
}

bool FakeLauncher::openAddress(const QString &address)
{
    addresses.append(address);
    return succeed;
}

bool FakeLauncher::openFile(const QString &path)
{
    files.append(path);
    return succeed;
}

bool FakeLauncher::showInFolder(const QString &path)
{
    selected.append(path);
    return succeed;
}

int RecordingMci::sendString(const QString &command)
{
    commands.append(command);
    return 0;
}

FakeMediaDevice::FakeMediaDevice(FakeSound &sound)
    : m_sound(sound)
    , m_reports(std::make_unique<QObject>())
{}

void FakeMediaDevice::play()
{
    m_playing.start();
    if (const std::optional<StreamFailure> failure = m_sound.failOnPlay)
        QTimer::singleShot(0, m_reports.get(), [this, failure] { reportFailure(*failure); });
}

qint64 FakeMediaDevice::position() const
{
    return m_playing.isValid() && m_sound.advances ? m_playing.elapsed() : 0;
}

Platform FakePlatform::make(FakeSound &sound)
{
    Platform platform = make();
    auto interpreter = std::make_unique<MciInterpreter>([&sound] { return std::make_unique<FakeMediaDevice>(sound); });
    mci = nullptr;
    player = interpreter.get();
    platform.mci = std::move(interpreter);
    return platform;
}

Platform FakePlatform::make()
{
    Platform platform;
    auto box = std::make_unique<FakeMessageBox>();
    auto dialog = std::make_unique<FakeSaveDialog>();
    auto clip = std::make_unique<FakeClipboard>();
    auto launch = std::make_unique<FakeLauncher>();
    auto recorder = std::make_unique<RecordingMci>();
    auto gate = std::make_unique<FakeInstanceGate>();
    messageBox = box.get();
    saveDialog = dialog.get();
    clipboard = clip.get();
    launcher = launch.get();
    mci = recorder.get();
    player = nullptr;
    instanceGate = gate.get();
    platform.messageBox = std::move(box);
    platform.saveDialog = std::move(dialog);
    platform.clipboard = std::move(clip);
    platform.launcher = std::move(launch);
    platform.mci = std::move(recorder);
    platform.instanceGate = std::move(gate);
    return platform;
}

AppConfig testConfig(const QString &base, const QString &programFolder)
{
    AppConfig config;
    config.siteBase = base;
    config.imageHost = base + QStringLiteral("/img");
    config.videoHost = base + QStringLiteral("/video");
    config.audioHostTemplate = QStringLiteral("127.0.0.%1:1");
    config.updateBase = base;
    config.forumUrl = base + QStringLiteral("/forum/");
    config.homeUrl = base + QStringLiteral("/");
    config.programFolder = programFolder;
    config.pageTimeoutMs = 5000;
    return config;
}

bool loadAndWait(Form1 &window, int timeoutMs)
{
    bool checked = false;
    const QMetaObject::Connection watch =
        QObject::connect(&window, &Form1::versionChecked, [&checked] { checked = true; });
    window.load();
    const bool answered = QTest::qWaitFor([&checked] { return checked; }, timeoutMs);
    QObject::disconnect(watch);
    return answered;
}

bool lookUpAndWait(Form1 &window, const QString &address, int timeoutMs)
{
    window.Text1->setText(address);
    auto ended = std::make_shared<bool>(false);
    window.songPanel().parse([ended] { *ended = true; });
    return QTest::qWaitFor([ended] { return *ended; }, timeoutMs);
}
