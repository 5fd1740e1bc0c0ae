#include "download/audiosniff.h"

namespace download {

namespace {

bool startsLikeAudio(QByteArrayView bytes)
{
    if (bytes.startsWith("ID3"))
        return true;
    // An MPEG audio frame begins with 11 set bits.
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xff &&
           (static_cast<unsigned char>(bytes[1]) & 0xe0) == 0xe0;
}

bool startsLikeMarkup(QByteArrayView bytes)
{
    if (bytes.startsWith("\xef\xbb\xbf"))
        bytes = bytes.sliced(3);
    qsizetype at = 0;
    while (at < bytes.size() && (bytes[at] == ' ' || bytes[at] == '\t' || bytes[at] == '\r' || bytes[at] == '\n'))
        ++at;
    if (at + 1 >= bytes.size() || bytes[at] != '<')
        return false;
    const char next = bytes[at + 1];
    return next == '!' || next == '?' || (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z');
}

} // namespace

BodyKind sniffBody(const QByteArray &contentType, QByteArrayView firstBytes)
{
    if (startsLikeAudio(firstBytes))
        return BodyKind::Audio;
    if (startsLikeMarkup(firstBytes))
        return BodyKind::Markup;
    const QByteArray type = contentType.trimmed().toLower();
    if (type.startsWith("text/html") || type.startsWith("application/xhtml+xml"))
        return BodyKind::WebPage;
    return BodyKind::Audio;
}

} // namespace download
