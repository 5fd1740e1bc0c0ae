#pragma once

#include "player/streamfailure.h"

#include <QUrl>

// One open audio stream. Destroying the device stops it and releases the
// stream, and it reports no failure after that. Everything runs on the
// caller's thread and returns at once; playback goes on in the background.
class MediaDevice : public StreamFailureReporter
{
public:
    virtual ~MediaDevice() = default;

    // Points the device at a web address; false when the address
    // cannot be taken at all. Reachability is found out later, if ever.
    virtual bool open(const QUrl &source) = 0;
    virtual void play() = 0;
    // 0 (silent) to 1000 (full).
    virtual void setVolume(int volume) = 0;
    // How far playback has come, in milliseconds: it stands still while
    // nothing plays, whether the stream waits for data or has ended.
    virtual qint64 position() const = 0;
    // True once the stream has played to its end.
    virtual bool atEnd() const = 0;
};
