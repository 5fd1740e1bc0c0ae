#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace download {

// What the start of a body says about it.
enum class BodyKind {
    Audio,   // an ID3 tag or an MPEG frame, or nothing that says otherwise
    WebPage, // labelled as a web page, and not starting like audio
    Markup,  // starts like a web page or an XML document, whatever its label
    Text,    // readable text (a JSON or plain-text error message), whatever its label
};

// Tells a web page or an error message (in place of the song) from audio by
// the answer's Content-Type and the body's first bytes. Anything that is not
// plainly a page or text counts as audio: servers label real MP3s in many ways.
BodyKind sniffBody(const QByteArray &contentType, QByteArrayView firstBytes);

// How many first bytes sniffBody() needs to be sure.
constexpr qsizetype kSniffBytes = 64;

} // namespace download
