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

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

QByteArrayView withoutByteOrderMark(QByteArrayView bytes)
{
    return bytes.startsWith("\xef\xbb\xbf") ? bytes.sliced(3) : bytes;
}

bool startsLikeMarkup(QByteArrayView bytes)
{
    bytes = withoutByteOrderMark(bytes);
    qsizetype at = 0;
    while (at < bytes.size() && isBlank(bytes[at]))
        ++at;
    if (at + 1 >= bytes.size() || bytes[at] != '<')
        return false;
    const char next = bytes[at + 1];
    return next == '!' || next == '?' || (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z');
}

// Printable ASCII, blanks and whole UTF-8 sequences only (the last one may be
// cut off where the sample ends): what an error message is made of, and what
// no frame of audio ever is.
bool isText(QByteArrayView bytes)
{
    bytes = withoutByteOrderMark(bytes);
    if (bytes.isEmpty())
        return false;
    for (qsizetype at = 0; at < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[at]);
        if ((lead >= 0x20 && lead < 0x7f) || isBlank(char(lead))) {
            ++at;
            continue;
        }
        const int more = lead >= 0xc2 && lead <= 0xdf   ? 1
                         : lead >= 0xe0 && lead <= 0xef ? 2
                         : lead >= 0xf0 && lead <= 0xf4 ? 3
                                                        : -1;
        if (more < 0)
            return false;
        for (int i = 1; i <= more; ++i) {
            if (at + i >= bytes.size())
                return true; // cut off by the sample's end
            if ((static_cast<unsigned char>(bytes[at + i]) & 0xc0) != 0x80)
                return false;
        }
        at += 1 + more;
    }
    return true;
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
    if (isText(firstBytes))
        return BodyKind::Text;
    return BodyKind::Audio;
}

} // namespace download
