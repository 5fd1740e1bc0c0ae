#include "page/bodydecoder.h"

#include <QList>

namespace {

// A decoder for a charset label, when the program knows it. GB2312 pages
// routinely carry GBK characters; GB18030 decodes both.
std::optional<QStringDecoder> decoderFor(QByteArray charset)
{
    if (charset.size() >= 2 && (charset.startsWith('"') || charset.startsWith('\'')))
        charset = charset.mid(1, charset.size() - 2);
    charset = charset.trimmed().toLower();
    if (charset == "gb2312" || charset == "gbk" || charset == "x-gbk")
        charset = "GB18030";
    if (charset.isEmpty())
        return std::nullopt;
    QStringDecoder decoder(charset.constData());
    if (!decoder.isValid())
        return std::nullopt;
    return decoder;
}

// The charset parameter of a Content-Type value, or of a meta tag's content.
QByteArray charsetParameter(const QByteArray &contentType)
{
    for (const QByteArray &param : contentType.split(';')) {
        const QByteArray trimmed = param.trimmed();
        if (trimmed.toLower().startsWith("charset="))
            return trimmed.mid(8).trimmed();
    }
    return {};
}

// The charset a page names for itself near its start, in <meta charset=...>
// or in <meta http-equiv="Content-Type" content="...; charset=...">; letters
// of either case.
QByteArray metaCharset(const QByteArray &body)
{
    const QByteArray head = body.left(BodyDecoder::kMetaScanBytes).toLower();
    for (qsizetype meta = head.indexOf("<meta"); meta >= 0; meta = head.indexOf("<meta", meta + 5)) {
        const qsizetype end = head.indexOf('>', meta);
        const QByteArray tag = head.mid(meta, end < 0 ? -1 : end - meta);
        qsizetype at = tag.indexOf("charset");
        if (at < 0)
            continue;
        at += 7;
        while (at < tag.size() && (tag[at] == ' ' || tag[at] == '\t' || tag[at] == '\n' || tag[at] == '\r'))
            ++at;
        if (at >= tag.size() || tag[at] != '=')
            continue;
        ++at;
        while (at < tag.size() && (tag[at] == ' ' || tag[at] == '"' || tag[at] == '\''))
            ++at;
        qsizetype stop = at;
        while (stop < tag.size() && !QByteArrayView(" \t\r\n\"';/>").contains(tag[stop]))
            ++stop;
        if (stop > at)
            return tag.mid(at, stop - at);
    }
    return {};
}

// In UTF-8 and GB18030 a byte below '0' is always a character of its own and
// never part of a longer one. After one that follows three more plain ASCII
// bytes no longer character can be still open either (none is longer than
// four bytes), so decoding stops and starts there cleanly. Other charsets
// (UTF-16, the ISO-2022 family, ...) are decoded in one piece.
bool decodesInPieces(const QStringDecoder &decoder)
{
    const QByteArray name = QByteArray(decoder.name()).toUpper();
    return name == "UTF-8" || name == "GB18030";
}

qsizetype afterLastCleanBreak(QByteArrayView bytes)
{
    constexpr qsizetype kLongestCharacter = 4;
    const auto plain = [&bytes](qsizetype at) { return static_cast<uchar>(bytes[at]) < 0x80; };
    for (qsizetype at = bytes.size() - 1; at >= 0; --at) {
        if (static_cast<uchar>(bytes[at]) >= '0')
            continue;
        qsizetype before = at - 1;
        while (before >= 0 && before > at - kLongestCharacter && plain(before))
            --before;
        if (before < 0 || before == at - kLongestCharacter)
            return at + 1;
    }
    return 0;
}

} // namespace

BodyDecoder::BodyDecoder(const QByteArray &contentType, qint64 expectedBytes)
    : m_contentType(contentType)
    , m_expected(expectedBytes)
{}

void BodyDecoder::choose(bool atEnd)
{
    std::optional<QStringDecoder> decoder = decoderFor(charsetParameter(m_contentType));
    if (!decoder) {
        // The page's own <meta> may name it, within its first bytes.
        if (!atEnd && m_held.size() < kMetaScanBytes)
            return;
        decoder = decoderFor(metaCharset(m_held));
    }
    m_chosen = true;
    m_utf8Fallback = !decoder;
    m_decoder = decoder ? std::move(decoder) : QStringDecoder(QStringDecoder::Utf8);
    m_piecewise = decodesInPieces(*m_decoder);
    // Neither charset gives more characters than bytes.
    if (m_piecewise && m_expected > 0 && m_expected < (qint64(1) << 30))
        m_text.reserve(qsizetype(m_expected));
}

void BodyDecoder::decodeUpTo(qsizetype length)
{
    if (length <= 0)
        return;
    m_text += m_decoder->decode(QByteArrayView(m_held).first(length));
    m_held.remove(0, length);
}

void BodyDecoder::append(QByteArrayView bytes)
{
    m_held.append(bytes);
    if (!m_chosen)
        choose(false);
    if (m_chosen && m_piecewise)
        decodeUpTo(afterLastCleanBreak(m_held));
}

const QString &BodyDecoder::finish()
{
    if (!m_chosen)
        choose(true);
    if (m_utf8Fallback && !m_text.isEmpty()) {
        // As a decode of the whole body would: a sequence cut short at the end
        // is a replacement character, and a byte-order mark here is text.
        QStringDecoder rest(QStringDecoder::Utf8,
                            QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        m_text += rest.decode(m_held);
    } else if (m_utf8Fallback) {
        m_text = QString::fromUtf8(m_held);
    } else {
        m_text += m_decoder->decode(m_held);
    }
    m_held.clear();
    return m_text;
}
