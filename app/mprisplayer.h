#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QPixmap>
#include <QString>
#include <QVariantMap>

class Form1;

// The window's player as the desktop sees it: an MPRIS 2 player on the
// session bus, so media keys, the desktop's media controls and the lock
// screen show the work and can play, stop and set the volume. It acts only
// through the window's own controls (the play button, the volume slider) and
// reads what they show.
class MprisPlayer final : public QObject
{
    Q_OBJECT
public:
    static const QString kObjectPath;

    // Publishes `window`'s player on `bus`, under the player's well-known
    // name, or that name with this process's number when it is taken.
    MprisPlayer(Form1 &window, QDBusConnection bus);
    ~MprisPlayer() override;

    // The name the player is published under; empty when it could not be.
    QString busName() const { return m_busName; }

    // What the adaptors read and do.
    Form1 &window() const { return m_window; }
    QString playbackStatus() const { return m_status; }
    QVariantMap metadata() const;
    double volume() const;
    void setVolume(double volume);
    // Presses the play button when its caption is `caption` (any caption
    // when empty).
    void pressPlayButton(const QString &caption = QString());

private:
    // What played last, taken when its stream started.
    struct Track final
    {
        QString workId;
        QString title;
        QString singer;
        QString pageAddress;
        QString artFile;
    };

    void playerChanged(bool started);
    void refresh();
    void takeTrack();
    void announce(const QVariantMap &changed);

    Form1 &m_window;
    QDBusConnection m_bus;
    QString m_busName;
    QString m_status;
    Track m_track;
    bool m_started = false;
    bool m_refreshQueued = false;
    qint64 m_artCacheKey = 0;
};
