#include "player/playback.h"

#include "app/controls.h"
#include "app/form1.h"
#include "player/mciinterpreter.h"

#include <QPushButton>
#include <QSlider>

#include <cmath>

namespace playback {

namespace {

// The leading decimal number of text: blanks before it allowed, an optional
// sign, digits with an optional fraction; anything after it ignored.
double leadingNumber(const QString &text)
{
    int i = 0;
    const int n = text.size();
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    const int start = i;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    const int digitsStart = i;
    while (i < n && text[i].isDigit() && text[i].unicode() < 128)
        ++i;
    int digits = i - digitsStart;
    if (i < n && text[i] == QLatin1Char('.')) {
        const int fractionStart = ++i;
        while (i < n && text[i].isDigit() && text[i].unicode() < 128)
            ++i;
        digits += i - fractionStart;
    }
    if (digits == 0)
        return 0.0;
    bool ok = false;
    const double value = text.mid(start, i - start).toDouble(&ok);
    return ok ? value : 0.0;
}

QString numberText(double value)
{
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', 15);
}

} // namespace

QString serverNumber(const QString &audioAddress)
{
    if (audioAddress.count(QLatin1Char('/')) < 5)
        return {};
    QString field = audioAddress.split(QLatin1Char('/')).at(5);
    field.remove(QLatin1Char('a'));
    return numberText(leadingNumber(field) - 108.0);
}

QString rebuiltAddress(const QString &host, const QString &workId)
{
    return QStringLiteral("http://") + host + QStringLiteral("/userdata/userwork/") + workId.right(3) +
           QLatin1Char('/') + workId + QStringLiteral(".mp3");
}

QString volumeCommand(int value)
{
    return QStringLiteral("setaudio OpenFile volume to ") + QString::number(value);
}

} // namespace playback

void Form1::connectPlayerHandlers()
{
    connect(Command7, &QPushButton::clicked, this, &Form1::Command7_Click);
    connect(Command16, &QPushButton::clicked, this, &Form1::Command16_Click);
    connect(Slider1, &QSlider::valueChanged, this, &Form1::Slider1_Scroll);
}

void Form1::play(const QString &musicpath)
{
    // Every step is sent, whatever became of the one before.
    MciService &mci = *m_platform.mci;
    mci.sendString(QStringLiteral("close OpenFile"));
    mci.sendString(QStringLiteral("open ") + musicpath + QStringLiteral(" alias OpenFile type MPEGVideo"));
    mci.sendString(QStringLiteral("play OpenFile"));
    mci.sendString(playback::volumeCommand(Slider1->value()));
}

void Form1::Command7_Click()
{
    if (m_song.audioAddress.isEmpty()) {
        setStatus(QStringLiteral("请先进行解析.."));
        return;
    }
    if (Command7->text() == QStringLiteral("在线播放")) {
        Command7->setText(QStringLiteral("停止播放"));
        play(m_song.audioAddress);
        setStatus(QStringLiteral("正在进行在线试播放.."));
    } else if (Command7->text() == QStringLiteral("停止播放")) {
        Command7->setText(QStringLiteral("在线播放"));
        m_platform.mci->sendString(QStringLiteral("close all"));
    }
}

void Form1::Command16_Click()
{
    // Without a parsed address there is no server number to read.
    const QString server = playback::serverNumber(m_song.audioAddress);
    if (server.isEmpty()) {
        setStatus(QStringLiteral("请先进行解析.."));
        return;
    }
    Command7->setText(QStringLiteral("停止播放"));
    m_song.audioAddress = playback::rebuiltAddress(m_config.audioHost(server), program::workId());
    play(m_song.audioAddress);
    setStatus(QStringLiteral("为您重新解析后,正在进行在线试播放.."));
}

void Form1::Slider1_Scroll()
{
    m_platform.mci->sendString(playback::volumeCommand(Slider1->value()));
}
