#pragma once

#include "download/batchqueue.h"

#include <QList>
#include <QString>
#include <QStringList>

// M3U8 playlists of a singer's saved works, so any music player can open them.
namespace works {

struct PlaylistEntry final
{
    QString path; // the file, absolute
    QString name; // how a player shows it, "singer - title"
};

// The works of `outcomes` that have a file on disk (saved now or found
// already there), in the order their sources stand in `order`: the order the
// singer's page lists them in, newest first.
QList<PlaylistEntry> savedWorks(const QList<download::WorkOutcome> &outcomes, const QStringList &order);

// Keeps the playlist at `path` (UTF-8, "#EXTM3U", an "#EXTINF" line before
// each file, paths relative to its folder): `newest` first, then what it
// listed before whose files are still there, then with `wholeFolder` every
// other MP3 under its folder, the newest file first. Left alone when it would
// list nothing or stay the same. Empty on success, else why not.
QString keepPlaylist(const QString &path, const QList<PlaylistEntry> &newest, bool wholeFolder);

} // namespace works
