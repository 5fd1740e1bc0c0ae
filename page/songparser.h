#pragma once

#include "page/pageslice.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>

class FirstMarkers;

// Cutting a song page into the work's facts. The cut keeps one working text per
// step between pages: a step whose marker is missing leaves its working text as
// the previous page left it, and the values derived from it follow that text.
namespace songpage {

// Where the page's addresses start; they are found by plain text search.
struct Markers final
{
    QString imageHost;         // avatar addresses begin with it (no trailing slash)
    QString videoPlayerPrefix; // the video player script's address begins with it
};

// The counters in the order the page is read and the panel shows them.
enum class Counter { Plays, Gifts, Shares, Comments };
inline constexpr int kCounterCount = 4;

// The class names of the counters' spans, in Counter order.
const std::array<QString, kCounterCount> &counterClasses();

using ::PageSlice;

// One working text per cutting step; all start empty. They refer into the page
// they were cut from; one kept from an earlier page (its marker missing from
// this one) is cut down to what the later steps still read from it.
struct WorkingTexts final
{
    PageSlice T1;                              // after "<title>"
    PageSlice T2;                              // title segment between the first and second "-"
    PageSlice F1;                              // after the fan-count marker
    PageSlice D1;                              // after the description marker
    PageSlice S1;                              // after "<title>", for the song title
    std::array<PageSlice, kCounterCount> C1{}; // after each counter's span
    std::array<PageSlice, kCounterCount> C2{}; // after the "<em>" in it
    PageSlice A1;                              // after the image host
    PageSlice M1;                              // after the audio script marker
};

struct Facts final
{
    QString singerName;
    QString fanCount;
    QString description;
    QString title;
    std::array<QString, kCounterCount> counters{};
    QString avatarAddress;
    QString audioAddress; // empty when the page has no audio script
    bool hasVideo = false;
    QString videoAddress; // empty unless hasVideo
};

// The markers cut() looks for in the whole page.
QStringList markersSought(const Markers &markers);

// Cuts `page` (non-empty) with `texts` carried over from the previous page;
// `found`, when given, is where the markers sought were seen as it arrived.
Facts cut(const QString &page, const Markers &markers, WorkingTexts &texts, const FirstMarkers *found = nullptr);

// The work id read from an audio address: the file name (the seventh "/"
// field) up to its first dot. When the address has fewer fields the previous
// id is kept, up to its first dot (so an id without a dot becomes empty).
QString workIdFrom(const QString &audioAddress, const QString &previousId);

} // namespace songpage
