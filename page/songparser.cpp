#include "page/songparser.h"

#include "page/textcut.h"

namespace songpage {

namespace {

const QChar Q = QLatin1Char('"');

// Stores the text after `marker` in `target`; a missing marker leaves it as it was.
void keepAfter(QString &target, const QString &text, const QString &marker)
{
    if (std::optional<QString> rest = textcut::after(text, marker))
        target = std::move(*rest);
}

} // namespace

const std::array<QString, kCounterCount> &counterClasses()
{
    static const std::array<QString, kCounterCount> classes = {
        QStringLiteral("audience info"), QStringLiteral("presents info"), QStringLiteral("share info"),
        QStringLiteral("comment info")};
    return classes;
}

Facts cut(const QString &page, const Markers &markers, WorkingTexts &texts)
{
    Facts facts;

    // Singer: the title reads "song - singer<service name> ...".
    keepAfter(texts.T1, page, QStringLiteral("<title>"));
    if (std::optional<QString> segment = textcut::piece(texts.T1, QStringLiteral("-"), 1))
        texts.T2 = textcut::trimBlanks(*segment);
    facts.singerName = textcut::trimBlanks(textcut::before(texts.T2, QStringLiteral("Cantora")));

    keepAfter(texts.F1, page, QStringLiteral("<em class=\"nm\">"));
    facts.fanCount = textcut::trimBlanks(textcut::before(texts.F1, QStringLiteral("<")));

    keepAfter(texts.D1, page, QStringLiteral("des twemoji\">"));
    facts.description = textcut::trimBlanks(textcut::before(texts.D1, QStringLiteral("<")));

    keepAfter(texts.S1, page, QStringLiteral("<title>"));
    facts.title = textcut::trimBlanks(textcut::before(texts.S1, QStringLiteral("-")));

    for (int i = 0; i < kCounterCount; ++i) {
        keepAfter(texts.C1[i], page, QStringLiteral("<span class=\"") + counterClasses()[i] + QStringLiteral("\">"));
        keepAfter(texts.C2[i], texts.C1[i], QStringLiteral("<em>"));
        facts.counters[i] = textcut::before(texts.C2[i], QStringLiteral("<"));
    }

    keepAfter(texts.A1, page, markers.imageHost);
    facts.avatarAddress = markers.imageHost + textcut::before(texts.A1, Q);

    // The address sits in quotes followed by a comma: keep what lies before
    // the closing quote. A page without the script has no audio address; the
    // previous page's must not pass for this work's.
    if (std::optional<QString> rest = textcut::after(page, QStringLiteral("(function(){var a=\""))) {
        texts.M1 = std::move(*rest);
        const int p = texts.M1.indexOf(Q) + 1;
        QString m2 = texts.M1;
        m2.remove(Q);
        facts.audioAddress = textcut::trimBlanks(m2).left(p).remove(QLatin1Char(','));
    }

    facts.hasVideo = !markers.videoPlayerPrefix.isEmpty() && page.contains(markers.videoPlayerPrefix);
    if (facts.hasVideo) {
        const QString v1 = *textcut::after(page, markers.videoPlayerPrefix);
        facts.videoAddress =
            markers.videoPlayerPrefix + textcut::before(v1, Q).replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    }
    return facts;
}

QString workIdFrom(const QString &audioAddress, const QString &previousId)
{
    const QString id = textcut::piece(audioAddress, QStringLiteral("/"), 6).value_or(previousId);
    return textcut::before(id, QStringLiteral("."));
}

} // namespace songpage
