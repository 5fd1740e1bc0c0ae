#pragma once

#include <QString>

// The video page: one line of HTML that loads the site's video player script,
// kept where FilePlaces says for the web browser to open.
namespace video {

// <div><script src="ADDRESS" type="text/javascript"></script></div>, with the
// address as it is (the song page has already decoded it).
QString embedLine(const QString &videoAddress);

// folder/video.htm
QString pagePath(const QString &folder);

// Replaces the page at `path` with exactly `line`, UTF-8 encoded. The page
// is replaced whole or not at all: false leaves any earlier page as it was.
bool writePage(const QString &path, const QString &line);

// What the viewer says when the page at `path` could not be handed to a web
// browser: the page is gone, or no browser is there to open it.
QString openFailedText(const QString &path);

} // namespace video
