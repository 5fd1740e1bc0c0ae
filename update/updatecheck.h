#pragma once

#include <QString>

class PageFetcher;
struct FetchResult;

// Reading the update server's version file, "kw:<version>|" among the entries
// of other programs, and deciding what the running copy should do.
namespace update {

// The version this build is.
inline constexpr char kBuiltInVersion[] = "V3.3";

enum class Outcome {
    Unreadable,   // nothing came back: warn, keep the inputs locked
    Current,      // the file names this version: greet and unlock
    OtherVersion, // anything else: announce it, open the forum, end
};

struct Verdict final
{
    Outcome outcome = Outcome::Unreadable;
    QString version; // what the file named for us, possibly empty
    QString failure; // why the file could not be read, when it could not
};

// The text after the first "kw:" up to the next "kw:", then up to its first
// "|"; empty when either marker is missing.
QString versionIn(const QString &pageText);

Verdict judge(const QString &pageText);

// The text of the announcement box for another version.
QString announcement(const QString &version);

// The warning when the file could not be read, and the greeting when it names us.
QString unreadableText();
QString welcomeText();
// The status line's text while the file is being read.
QString checkingText();
// The status line's text while the check waits to read the file again, with
// the wait left in whole seconds, rounded up: "检测更新失败, 20 秒后自动重试..".
QString retryText(int msLeft);
// How to read it again without waiting.
QString retryNowHint();

// Judges the answer to a request for the version file. A server error is no
// version file, whatever page came with it.
Verdict judgeAnswer(const FetchResult &page);

// Fetches the version file and judges it.
Verdict check(PageFetcher &fetcher, const QString &versionFileUrl);

} // namespace update
