#include "player/playback.h"

#include "page/netcause.h"

#include <QStringList>

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

QString rebuiltAddress(const QString &server, const QString &workId)
{
    return server + QStringLiteral("/userdata/userwork/") + workId.right(3) + QLatin1Char('/') + workId +
           QStringLiteral(".mp3");
}

QString failureText(StreamTrouble trouble)
{
    QString what;
    switch (trouble) {
    case StreamTrouble::NoOutput:
        what = QStringLiteral("没有可用的音频输出..");
        break;
    case StreamTrouble::BadAddress:
        what = QStringLiteral("音频地址无效..");
        break;
    case StreamTrouble::Gone:
        what = netcause::workGoneText();
        break;
    case StreamTrouble::Unreachable:
        what = QStringLiteral("网络连接失败,请您检查网络后再试..");
        break;
    case StreamTrouble::Unreadable:
        what = QStringLiteral("音频数据无法识别..");
        break;
    case StreamTrouble::Stalled:
        what = QStringLiteral("音频数据中断,请稍后再试..");
        break;
    case StreamTrouble::Failed:
        what = QStringLiteral("播放器出错,请稍后再试..");
        break;
    }
    return QStringLiteral("无法播放: ") + what;
}

QString volumeCommand(int value)
{
    return QStringLiteral("setaudio OpenFile volume to ") + QString::number(value);
}

} // namespace playback
