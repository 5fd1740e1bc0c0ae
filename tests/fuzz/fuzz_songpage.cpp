// Song pages of any shape: the cut must never crash, and what it hands on
// must hold what the window relies on.

#include "page/firstmarkers.h"
#include "page/songparser.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    // Two pages in a row, the second cut with what the first left behind.
    const qsizetype split = text.indexOf(QLatin1String("\n=====\n"));
    const QString first = split < 0 ? text : text.left(split);
    const QString second = split < 0 ? QString() : text.mid(split + 7);

    const songpage::Markers markers{QStringLiteral("http://h/img"), QStringLiteral("http://h/video/player")};
    songpage::WorkingTexts texts;
    QString workId;
    for (const QString &page : {first, second}) {
        if (page.isEmpty())
            continue;
        // The same cut with the markers found while the page arrived, in pieces.
        songpage::WorkingTexts arrivingTexts = texts;
        FirstMarkers found(songpage::markersSought(markers));
        QString arrived;
        for (qsizetype at = 0; at < page.size(); at += 1 + qsizetype(size % 7)) {
            const qsizetype from = arrived.size();
            arrived += QStringView(page).mid(at, 1 + qsizetype(size % 7));
            found.feed(arrived, from);
        }
        const songpage::Facts arriving = songpage::cut(arrived, markers, arrivingTexts, &found);
        const songpage::Facts facts = songpage::cut(page, markers, texts);
        if (arriving.singerName != facts.singerName || arriving.title != facts.title ||
            arriving.counters != facts.counters || arriving.audioAddress != facts.audioAddress ||
            arriving.avatarAddress != facts.avatarAddress || arriving.videoAddress != facts.videoAddress ||
            arriving.fanCount != facts.fanCount || arriving.description != facts.description)
            std::abort();
        workId = songpage::workIdFrom(facts.audioAddress, workId);

        // The audio address is cut from this page's script, or there is none.
        if (!page.contains(QLatin1String("(function(){var a=\"")) && !facts.audioAddress.isEmpty())
            std::abort();
        if (facts.audioAddress.contains(QLatin1Char(',')) || facts.audioAddress.contains(QLatin1Char('"')))
            std::abort();
        if (facts.hasVideo != page.contains(markers.videoPlayerPrefix))
            std::abort();
        if (!facts.hasVideo && !facts.videoAddress.isEmpty())
            std::abort();
        if (!facts.avatarAddress.startsWith(markers.imageHost))
            std::abort();
        if (workId.contains(QLatin1Char('.')) || workId.contains(QLatin1Char('/')))
            std::abort();
    }
    return 0;
}
