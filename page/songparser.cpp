#include "page/songparser.h"

#include "page/firstmarkers.h"
#include "page/textcut.h"

namespace songpage {

namespace {

const QChar Q = QLatin1Char('"');
constexpr QStringView kTitleMarker = u"<title>";
constexpr QStringView kServiceName = u"Cantora";
constexpr QStringView kCounterNumber = u"<em>";
constexpr QStringView kFansMarker = u"<em class=\"nm\">";
constexpr QStringView kDescriptionMarker = u"des twemoji\">";
constexpr QStringView kAudioScriptMarker = u"(function(){var a=\"";

QString counterMarker(int counter)
{
    return QStringLiteral("<span class=\"") + counterClasses()[counter] + QStringLiteral("\">");
}

// Stores the text after `marker` in `target`; a missing marker leaves it as it was.
void keepAfter(PageSlice &target, const PageSlice &text, QStringView marker)
{
    if (const std::optional<QStringView> rest = textcut::after(text.view(), marker))
        target = text.sub(*rest);
}

QString trimmedBefore(const PageSlice &text, QStringView marker)
{
    return textcut::trimBlanks(textcut::before(text.view(), marker)).toString();
}

// The address sits in quotes followed by a comma: the text after the script
// marker, its quotes removed and blanks trimmed, up to the length that reaches
// one character past the closing quote, commas removed. Only that stretch is
// gathered, never the rest of the page.
QString audioAddressIn(QStringView m1)
{
    const qsizetype p = m1.indexOf(Q) + 1;
    QString address;
    qsizetype at = 0;
    for (; at < m1.size() && address.size() < p; ++at) {
        const QChar c = m1[at];
        if (c == Q || (c == QLatin1Char(' ') && address.isEmpty()))
            continue;
        address += c;
    }
    // Blanks at its end go only when nothing but blanks and quotes follows.
    while (at < m1.size() && (m1[at] == Q || m1[at] == QLatin1Char(' ')))
        ++at;
    if (at == m1.size())
        address.truncate(textcut::trimBlanks(address).size());
    return address.remove(QLatin1Char(','));
}

// For a working text read later only for the text before `delimiter`: keeps
// just that and the delimiter.
void keepThrough(PageSlice &text, QStringView delimiter)
{
    const qsizetype at = text.view().indexOf(delimiter);
    text.keepOnlyFirst(at < 0 ? 0 : at + delimiter.size());
}

// Working texts left over from earlier pages are cut down to what the steps
// read from them, so no earlier page stays alive behind them.
void letGoOfEarlierPages(WorkingTexts &texts, const PageSlice &page)
{
    const auto earlier = [&page](const PageSlice &text) { return !text.sharesPageWith(page); };
    if (earlier(texts.T1)) {
        // Read for the piece between its first and second "-".
        const QStringView t1 = texts.T1.view();
        const qsizetype first = t1.indexOf(QLatin1Char('-'));
        const qsizetype second = first < 0 ? -1 : t1.indexOf(QLatin1Char('-'), first + 1);
        texts.T1.keepOnlyFirst(first < 0 ? 0 : second < 0 ? t1.size() : second + 1);
    }
    if (earlier(texts.T2))
        keepThrough(texts.T2, kServiceName);
    for (PageSlice *text : {&texts.F1, &texts.D1})
        if (earlier(*text))
            keepThrough(*text, u"<");
    if (earlier(texts.S1))
        keepThrough(texts.S1, u"-");
    for (int i = 0; i < kCounterCount; ++i) {
        if (earlier(texts.C1[i])) {
            // Read for the number after its "<em>", up to the next "<".
            const QStringView c1 = texts.C1[i].view();
            const qsizetype em = c1.indexOf(kCounterNumber);
            const qsizetype end = em < 0 ? -1 : c1.indexOf(QLatin1Char('<'), em + kCounterNumber.size());
            texts.C1[i].keepOnlyFirst(em < 0 ? 0 : end < 0 ? em + kCounterNumber.size() : end + 1);
        }
        if (earlier(texts.C2[i]))
            keepThrough(texts.C2[i], u"<");
    }
    if (earlier(texts.A1))
        keepThrough(texts.A1, QStringView(&Q, 1));
    // Only ever read on the page it was cut from.
    if (earlier(texts.M1))
        texts.M1.keepOnlyFirst(0);
}

} // namespace

const std::array<QString, kCounterCount> &counterClasses()
{
    static const std::array<QString, kCounterCount> classes = {
        QStringLiteral("audience info"), QStringLiteral("presents info"), QStringLiteral("share info"),
        QStringLiteral("comment info")};
    return classes;
}

QStringList markersSought(const Markers &markers)
{
    QStringList sought{kTitleMarker.toString(), kFansMarker.toString(),        kDescriptionMarker.toString(),
                       markers.imageHost,       kAudioScriptMarker.toString(), markers.videoPlayerPrefix};
    for (int i = 0; i < kCounterCount; ++i)
        sought << counterMarker(i);
    return sought;
}

Facts cut(const QString &page, const Markers &markers, WorkingTexts &texts, const FirstMarkers *found)
{
    Facts facts;
    const PageSlice whole(page);
    // The text after the first `marker` in the page; nothing when it has none.
    const auto afterInPage = [&](QStringView marker) -> std::optional<QStringView> {
        if (!found)
            return textcut::after(page, marker);
        const qsizetype at = found->firstIn(page, marker);
        return at < 0 ? std::nullopt : std::optional<QStringView>(QStringView(page).mid(at + marker.size()));
    };
    const auto keepAfterInPage = [&](PageSlice &target, QStringView marker) {
        if (const std::optional<QStringView> rest = afterInPage(marker))
            target = whole.sub(*rest);
    };

    // Singer: the title reads "song - singer<service name> ...".
    keepAfterInPage(texts.T1, kTitleMarker);
    if (const std::optional<QStringView> segment = textcut::piece(texts.T1.view(), u"-", 1))
        texts.T2 = texts.T1.sub(textcut::trimBlanks(*segment));
    facts.singerName = trimmedBefore(texts.T2, kServiceName);

    keepAfterInPage(texts.F1, kFansMarker);
    facts.fanCount = trimmedBefore(texts.F1, u"<");

    keepAfterInPage(texts.D1, kDescriptionMarker);
    facts.description = trimmedBefore(texts.D1, u"<");

    keepAfterInPage(texts.S1, kTitleMarker);
    facts.title = trimmedBefore(texts.S1, u"-");

    for (int i = 0; i < kCounterCount; ++i) {
        keepAfterInPage(texts.C1[i], counterMarker(i));
        keepAfter(texts.C2[i], texts.C1[i], kCounterNumber);
        facts.counters[i] = textcut::before(texts.C2[i].view(), u"<").toString();
    }

    keepAfterInPage(texts.A1, markers.imageHost);
    facts.avatarAddress = markers.imageHost + textcut::before(texts.A1.view(), QStringView(&Q, 1)).toString();

    // A page without the script has no audio address; the previous page's
    // must not pass for this work's.
    if (const std::optional<QStringView> rest = afterInPage(kAudioScriptMarker)) {
        texts.M1 = whole.sub(*rest);
        facts.audioAddress = audioAddressIn(*rest);
    }

    const std::optional<QStringView> v1 =
        markers.videoPlayerPrefix.isEmpty() ? std::nullopt : afterInPage(markers.videoPlayerPrefix);
    facts.hasVideo = v1.has_value();
    if (facts.hasVideo) {
        facts.videoAddress =
            markers.videoPlayerPrefix +
            textcut::before(*v1, QStringView(&Q, 1)).toString().replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    }

    letGoOfEarlierPages(texts, whole);
    return facts;
}

QString workIdFrom(const QString &audioAddress, const QString &previousId)
{
    const std::optional<QStringView> field = textcut::piece(audioAddress, u"/", 6);
    return textcut::before(field ? *field : QStringView(previousId), u".").toString();
}

} // namespace songpage
