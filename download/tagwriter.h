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

// Writes and reads a work's ID3 tags; handed to a batch by whoever runs it
// (the command line links TagLib, the window loads it as a module).
class TagWriter
{
public:
    virtual ~TagWriter() = default;
    // Writes `tags` into the MP3 at `path`; an empty text on success, else the cause.
    virtual QString write(const QString &path, const WorkTags &tags) = 0;
    // The page address an earlier write put into the MP3 at `path`; empty when none.
    virtual QString pageAddress(const QString &path) = 0;
};

} // namespace download
