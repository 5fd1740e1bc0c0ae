#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

#include <optional>

// Decodes a page's bytes into text while they arrive, piece by piece, so that
// no whole-page decode is left for after the last byte. The text is exactly
// the one decoding the whole body at once gives (see PageFetcher::decodeBody).
class BodyDecoder final
{
public:
    // How far into the body a page may name its own charset.
    static constexpr qsizetype kMetaScanBytes = 4096;

    // `contentType` as the server sent it; `expectedBytes` (-1: unknown) only
    // sizes the text in advance.
    explicit BodyDecoder(const QByteArray &contentType, qint64 expectedBytes = -1);

    void append(QByteArrayView bytes);
    // Decodes what is still held back; the whole text from then on.
    const QString &finish();

    // Decoded so far; grows only at its end.
    const QString &text() const { return m_text; }

private:
    void choose(bool atEnd);
    void decodeUpTo(qsizetype length);

    QByteArray m_contentType;
    QByteArray m_held; // received, not decoded yet
    QString m_text;
    bool m_chosen = false;
    bool m_piecewise = false; // the charset lets pieces be decoded on their own
    bool m_utf8Fallback = false;
    std::optional<QStringDecoder> m_decoder;
    qint64 m_expected = -1;
};
