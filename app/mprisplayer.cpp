#include "app/mprisplayer.h"

#include "app/controls.h"
#include "app/form1.h"
#include "app/instancegate.h"
#include "app/songpanel.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSaveFile>
#include <QSlider>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <utility>

const QString MprisPlayer::kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");

namespace {

const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kWellKnownName = QStringLiteral("org.mpris.MediaPlayer2.cantora_helper");
const QString kPlayCaption = QStringLiteral("在线播放");
const QString kStopCaption = QStringLiteral("停止播放");
constexpr int kSliderMax = 1000;

// A work id as one element of an object path, which takes letters, digits and
// "_" only.
QString pathElement(const QString &text)
{
    QString element;
    for (const QChar c : text)
        element += c.isLetterOrNumber() && c.unicode() < 128 ? c : QLatin1Char('_');
    return element.isEmpty() ? QStringLiteral("_") : element;
}

} // namespace

// org.mpris.MediaPlayer2: who the player is, and its window.
class MprisRootAdaptor final : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ yes)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ none)
    Q_PROPERTY(QStringList SupportedMimeTypes READ none)
public:
    explicit MprisRootAdaptor(MprisPlayer *player)
        : QDBusAbstractAdaptor(player)
        , m_player(player)
    {}

    bool yes() const { return true; }
    bool no() const { return false; }
    QString identity() const { return m_player->window().windowTitle(); }
    QString desktopEntry() const { return DesktopInstanceGate::kBusName; }
    QStringList none() const { return {}; }

public slots:
    void Raise() { m_player->window().comeToFront(); }
    // Closed as the system closes it, after this call has been answered.
    void Quit() { QTimer::singleShot(0, &m_player->window(), &QWidget::close); }

private:
    MprisPlayer *const m_player;
};

// org.mpris.MediaPlayer2.Player: the play button and the volume slider. A
// stream from the web has no pause: pausing stops it, and playing starts the
// work from its beginning.
class MprisPlayerAdaptor final : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ one WRITE setRate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(double MinimumRate READ one)
    Q_PROPERTY(double MaximumRate READ one)
    Q_PROPERTY(bool CanGoNext READ no)
    Q_PROPERTY(bool CanGoPrevious READ no)
    Q_PROPERTY(bool CanPlay READ yes)
    Q_PROPERTY(bool CanPause READ yes)
    Q_PROPERTY(bool CanSeek READ no)
    Q_PROPERTY(bool CanControl READ yes)
public:
    explicit MprisPlayerAdaptor(MprisPlayer *player)
        : QDBusAbstractAdaptor(player)
        , m_player(player)
    {}

    QString playbackStatus() const { return m_player->playbackStatus(); }
    QVariantMap metadata() const { return m_player->metadata(); }
    double volume() const { return m_player->volume(); }
    void setVolume(double volume) { m_player->setVolume(volume); }
    double one() const { return 1.0; }
    void setRate(double) {}
    qlonglong position() const { return 0; }
    bool yes() const { return true; }
    bool no() const { return false; }

public slots:
    void PlayPause() { press(QString()); }
    void Play() { press(kPlayCaption); }
    void Pause() { press(kStopCaption); }
    void Stop() { press(kStopCaption); }
    void Next() {}
    void Previous() {}
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath &, qlonglong) {}
    void OpenUri(const QString &) {}

signals:
    void Seeked(qlonglong position);

private:
    // After the call has been answered: the press may wait.
    void press(const QString &caption)
    {
        QTimer::singleShot(0, m_player, [player = m_player, caption] { player->pressPlayButton(caption); });
    }

    MprisPlayer *const m_player;
};

MprisPlayer::MprisPlayer(Form1 &window, QDBusConnection bus)
    : QObject(&window)
    , m_window(window)
    , m_bus(std::move(bus))
{
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    m_status = m_window.Command7->text() == kStopCaption ? QStringLiteral("Playing") : QStringLiteral("Stopped");
    connect(&window, &Form1::playerChanged, this, &MprisPlayer::playerChanged);
    connect(window.Slider1, &QSlider::valueChanged, this, [this] { announce({{QStringLiteral("Volume"), volume()}}); });

    if (!m_bus.isConnected() || !m_bus.interface() || !m_bus.registerObject(kObjectPath, this))
        return;
    for (const QString &name :
         {kWellKnownName, kWellKnownName + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid())}) {
        const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = m_bus.interface()->registerService(
            name, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
        if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
            m_busName = name;
            return;
        }
    }
}

MprisPlayer::~MprisPlayer()
{
    if (!m_busName.isEmpty())
        m_bus.unregisterService(m_busName);
    m_bus.unregisterObject(kObjectPath);
    if (!m_track.artFile.isEmpty())
        QFile::remove(m_track.artFile);
}

QVariantMap MprisPlayer::metadata() const
{
    if (m_track.workId.isEmpty() && m_track.title.isEmpty())
        return {{QStringLiteral("mpris:trackid"),
                 QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack")))}};
    QVariantMap shown{
        {QStringLiteral("mpris:trackid"),
         QVariant::fromValue(QDBusObjectPath(QStringLiteral("/io/github/cantora_helper/CantoraHelper/work/") +
                                             pathElement(m_track.workId)))},
        {QStringLiteral("xesam:title"), m_track.title},
    };
    if (!m_track.singer.isEmpty())
        shown.insert(QStringLiteral("xesam:artist"), QStringList{m_track.singer});
    if (!m_track.pageAddress.isEmpty())
        shown.insert(QStringLiteral("xesam:url"), m_track.pageAddress);
    if (!m_track.artFile.isEmpty())
        shown.insert(QStringLiteral("mpris:artUrl"), QUrl::fromLocalFile(m_track.artFile).toString());
    return shown;
}

double MprisPlayer::volume() const
{
    return double(m_window.Slider1->value()) / kSliderMax;
}

void MprisPlayer::setVolume(double volume)
{
    if (std::isnan(volume))
        return;
    // Moved as the user moves it: the slider sets the stream's volume.
    m_window.Slider1->setValue(int(std::lround(std::clamp(volume, 0.0, 1.0) * kSliderMax)));
}

void MprisPlayer::pressPlayButton(const QString &caption)
{
    QPushButton *button = m_window.Command7;
    if (caption.isEmpty() || button->text() == caption)
        button->click();
}

void MprisPlayer::playerChanged(bool started)
{
    m_started = m_started || started;
    if (std::exchange(m_refreshQueued, true))
        return;
    // Once the handler that sent the command has set the button's caption.
    QTimer::singleShot(0, this, &MprisPlayer::refresh);
}

void MprisPlayer::refresh()
{
    m_refreshQueued = false;
    QVariantMap changed;
    if (std::exchange(m_started, false)) {
        takeTrack();
        changed.insert(QStringLiteral("Metadata"), metadata());
    }
    const QString status =
        m_window.Command7->text() == kStopCaption ? QStringLiteral("Playing") : QStringLiteral("Stopped");
    if (status != m_status) {
        m_status = status;
        changed.insert(QStringLiteral("PlaybackStatus"), status);
    }
    announce(changed);
}

void MprisPlayer::takeTrack()
{
    const SongRecord &song = m_window.songRecord();
    m_track.workId = song.workId;
    m_track.title = m_window.songPanel().songTitle();
    m_track.singer = song.singerName;
    m_track.pageAddress = song.pageAddress;

    // The avatar as the window shows it, in a file of its own for each picture
    // so the desktop never shows a picture it kept from before.
    const QPixmap picture = m_window.Image1->picture();
    if (picture.cacheKey() == m_artCacheKey && !m_track.artFile.isEmpty())
        return;
    if (!m_track.artFile.isEmpty())
        QFile::remove(std::exchange(m_track.artFile, QString()));
    m_artCacheKey = picture.cacheKey();
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QStringLiteral("/cantora-helper");
    if (picture.isNull() || !QDir().mkpath(folder))
        return;
    static int pictures = 0;
    const QString path =
        folder + QStringLiteral("/cover-%1-%2.png").arg(QCoreApplication::applicationPid()).arg(++pictures);
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && picture.save(&file, "PNG") && file.commit())
        m_track.artFile = path;
}

void MprisPlayer::announce(const QVariantMap &changed)
{
    if (changed.isEmpty() || m_busName.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    m_bus.send(signal);
}

#include "mprisplayer.moc"
