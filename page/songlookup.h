#pragma once

#include "page/songparser.h"

#include <QString>

#include <functional>

class PageFetcher;
class PageRequest;
class QObject;
struct AppConfig;

// The facts of the work looked up last. Every field is text, starts empty and
// is overwritten only by the steps that produce it.
struct SongRecord final
{
    QString pageText;
    QString pageAddress; // the address the page was looked up at
    QString audioAddress;
    QString videoAddress; // empty when the work has no video
    QString singerName;
    QString workId; // also set by a works-list double-click and read by the re-resolve
};

// A song-page lookup as every front end does it: the address check, the fetch
// and the cut, with the one status text each outcome is shown with.
namespace lookup {

enum class Status {
    Found,        // the page was cut; its facts are in the result
    NoAddress,    // nothing was entered
    NotASongPage, // the address does not contain the site's song-page prefix
    FetchFailed,  // no song page arrived (an error page is none)
    Gone,         // the site answered that the page is not there (404, 410)
    EmptyPage,    // the page arrived with nothing in it
    Cancelled,    // the fetch was ended because the asker is going away
};

struct Result final
{
    Status status = Status::FetchFailed;
    QString address;  // what was looked up: the address typed, less what pasting put around it
    QString pageText; // the page as fetched (Found and EmptyPage)
    songpage::Facts facts;
    QString failure; // the fetcher's reason for FetchFailed
};

// What the status line says for `status`; empty for Found, EmptyPage and
// Cancelled, which say nothing. Gone and FetchFailed come with a cause.
QString statusText(Status status);

// Said when a command needs a looked-up work and there is none.
QString notParsedText();

// What the details panel shows for a work, label and value together, so the
// window and the command line say the same ("播放次数：35812次").
struct Captions final
{
    QString singer, fans, description, title;
    std::array<QString, songpage::kCounterCount> counters{};
};
Captions captionsOf(const songpage::Facts &facts);
// What the title caption starts with; the title follows it.
QString titlePrefix();

// Checks `typed` less what pasting put around it (pastedAddress), fetches
// that address and cuts the page with `texts` carried over from the previous
// page.
Result lookUp(PageFetcher &fetcher, const AppConfig &config, const QString &typed, songpage::WorkingTexts &texts);

// The same lookup without waiting: `done` gets the result once the page has
// come, unless `receiver` is gone by then; `texts` (which `receiver` keeps) are
// used only then. An address refused before any request is answered before
// this returns, and null is returned; otherwise the request under way.
PageRequest *lookUp(PageFetcher &fetcher, const AppConfig &config, const QString &typed, songpage::WorkingTexts &texts,
                    const QObject *receiver, std::function<void(const Result &)> done);

} // namespace lookup
