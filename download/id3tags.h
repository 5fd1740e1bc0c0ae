#pragma once

#include <QByteArray>
#include <QString>

namespace download {

// What a finished work's file is tagged with.
struct WorkTags final
{
    QString title;
    QString artist;
    QByteArray cover; // the avatar as fetched (JPEG, PNG or GIF); empty: no picture
    QString pageAddress;
};

// Writes `tags` into the MP3 at `path` as an ID3v2.4 tag: TIT2, TPE1, an APIC
// front cover and a WOAS frame with the page address, replacing any earlier
// tag. Returns an empty text on success, else the cause.
QString writeTags(const QString &path, const WorkTags &tags);

// The page address in the WOAS frame of the MP3 at `path` (as writeTags puts
// it there); empty when it has none or is no MP3.
QString taggedPageAddress(const QString &path);

} // namespace download
