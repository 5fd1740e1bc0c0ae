#pragma once

#include <QString>

// Everything the window needs to know about the outside world, handed to it at
// construction. `fromBuild()` gives the values compiled in through CMake; tests
// build their own to aim the window at a loopback server and a scratch folder.
struct AppConfig final
{
    QString siteBase;          // scheme and host, no trailing slash
    QString imageHost;         // avatar address prefix, no trailing slash
    QString videoHost;         // the player script prefix is videoHost + "/player"
    QString audioHostTemplate; // "%1" stands for the MP3 server number
    QString updateBase;        // holds /version/main.txt
    QString forumUrl;
    QString homeUrl;

    // The folder that holds the program: the skin, the "Music" folder and the
    // video page are found here.
    QString programFolder;

    // Longest wait for one page, in milliseconds; a fetch never hangs past it.
    int pageTimeoutMs = 30000;

    // After a version file that could not be read: the wait before reading it
    // again, and the longest wait between two reads as the waits grow.
    int updateRetryFirstMs = 20 * 1000;
    int updateRetryLongestMs = 10 * 60 * 1000;

    static AppConfig fromBuild();

    QString songPagePrefix() const { return siteBase + QStringLiteral("/s/"); }
    // Whether `address` contains the song-page prefix anywhere, in the
    // site's own scheme or the other of http and https.
    bool hasSongPagePrefix(const QString &address) const;
    QString videoPlayerPrefix() const { return videoHost + QStringLiteral("/player"); }
    QString versionFileUrl() const { return updateBase + QStringLiteral("/version/main.txt"); }
    QString playAddressService(const QString &workId) const
    {
        return siteBase + QStringLiteral("/member/personcenter/loadplayurl.php?wid=") + workId;
    }
    // The same, with siteBase taken from `address` (scheme, host and port):
    // whatever a work needs asked goes to the site it came from. Unchanged when
    // `address` names no http or https site.
    AppConfig aimedAt(const QString &address) const;
    // The numbered MP3 server as scheme and host: the template may name its
    // scheme ("https://m%1.example"); without one it is http.
    QString audioHost(const QString &serverNumber) const;
};
