#pragma once

#include "download/tagwriter.h"

#include <QString>

namespace download {

// Writes `tags` into the MP3 at `path` as an ID3v2.4 tag: TIT2, TPE1, an APIC
// front cover and a WOAS frame with the page address, replacing any earlier
// tag. Returns an empty text on success, else the cause.
QString writeTags(const QString &path, const WorkTags &tags);

// The page address in the WOAS frame of the MP3 at `path` (as writeTags puts
// it there); empty when it has none or is no MP3.
QString taggedPageAddress(const QString &path);

// The tags written by the TagLib linked in.
class LinkedTags final : public TagWriter
{
public:
    QString write(const QString &path, const WorkTags &tags) override { return writeTags(path, tags); }
    QString pageAddress(const QString &path) override { return taggedPageAddress(path); }
};

} // namespace download
