#pragma once

#include <QString>

// Where the program puts the files it writes. A program folder that takes
// writes is a portable copy and keeps everything beside the program; an
// installed program never writes there and uses the user's own folders.
struct FilePlaces final
{
    bool portable = true;
    QString downloadFolder;  // where a work's file goes unless the user picks another
    QString videoPageFolder; // where video.htm is written

    // Decided once from the program folder: it counts as writable only when a
    // file can really be created in it (permission bits alone mislead root).
    static FilePlaces forProgramFolder(const QString &programFolder);

    // The download panel's note on where files go.
    QString downloadNote() const;
    // The video viewer's note on where the video page was written: "the
    // current folder" only for a portable copy, else the folder's path on a
    // line of its own.
    QString videoPageNote() const;
};
