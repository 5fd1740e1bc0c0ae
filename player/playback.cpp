#include "player/playback.h"

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

QString failedText()
{
    return QStringLiteral("播放失败,请稍后再试..");
}

QString volumeCommand(int value)
{
    return QStringLiteral("setaudio OpenFile volume to ") + QString::number(value);
}

} // namespace playback
