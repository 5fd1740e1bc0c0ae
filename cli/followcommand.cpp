#include "cli/followcommand.h"

#include "cli/options.h"
#include "cli/terminal.h"
#include "page/pagefetcher.h"
#include "works/following.h"
#include "works/harvest.h"

#include <QDir>
#include <QTextStream>

namespace cli {

namespace {

int usage(const QString &problem)
{
    QTextStream(stderr)
        << "follow: " << problem
        << "\nusage: cantora-cli follow add SINGER_URL... | follow remove SINGER_URL... | follow list\n";
    return 2;
}

// What a singer's page told when it was read before following.
struct SingerPage final
{
    bool refused = false; // the site says there is no such singer
    QString name;         // empty when the page could not be read or shows none
};

// Reads the singer's page: an address the site has no page for, or a page that
// is no singer's, is refused; a page that cannot be read now is followed all
// the same, for a site down today may be back tomorrow. Says on stderr why.
SingerPage readSingerPage(const QString &address)
{
    PageFetcher fetcher;
    fetcher.setTimeLimit(config().pageTimeoutMs);
    const FetchResult page = fetcher.GetBody(address);
    QTextStream err(stderr);
    SingerPage singer;
    if (page.status == FetchStatus::Ok) {
        singer.name = oneLine(works::singerNameOn(page.text));
        singer.refused = singer.name.isEmpty() && works::countMarkers(page.text) == 0;
        if (singer.refused)
            err << "follow: 无法关注 " << address << ": 这不是歌手主页\n";
        return singer;
    }
    // 408 and 429 say "not now", like a 5xx; any other 4xx says "not here".
    const int status = page.httpStatus;
    if (page.status == FetchStatus::ErrorPage && status >= 400 && status < 500 && status != 408 && status != 429) {
        singer.refused = true;
        err << "follow: 无法关注 " << address << ": 歌手主页不存在 (" << page.cause() << ")\n";
        return singer;
    }
    err << "follow: 警告: 未能读取歌手名 (" << works::statusText(works::HarvestStatus::NoPage) << ' ' << page.cause()
        << "), 仍然关注 " << address << '\n';
    return singer;
}

} // namespace

bool loadFollowList(works::FollowList &list)
{
    QTextStream err(stderr);
    if (const QString problem = list.load(); !problem.isEmpty()) {
        err << problem << '\n';
        return false;
    }
    for (const works::StrayLine &line : list.strayLines())
        err << QDir::toNativeSeparators(list.path()) << ':' << line.number
            << ": 不是歌手主页地址, 已保留: " << escapedControls(line.text) << '\n';
    return true;
}

int runFollow(const QStringList &arguments)
{
    const QString action = arguments.value(0);
    const QStringList addresses = arguments.mid(1);
    if (action != QLatin1String("add") && action != QLatin1String("remove") && action != QLatin1String("list"))
        return usage(QStringLiteral("say add, remove or list"));
    if ((action == QLatin1String("list")) != addresses.isEmpty())
        return usage(action == QLatin1String("list") ? QStringLiteral("list takes no address")
                                                     : QStringLiteral("give one or more singer page addresses"));
    for (const QString &address : addresses) {
        if (works::followedAddress(address).isEmpty()) {
            const works::HarvestStatus why = works::checkSingerAddress(address);
            return usage(
                works::statusText(why == works::HarvestStatus::Fetching ? works::HarvestStatus::NotASingerPage : why) +
                QStringLiteral(" ") + address);
        }
    }

    works::FollowList list;
    if (!loadFollowList(list))
        return 1;
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (action == QLatin1String("list")) {
        for (const works::FollowedSinger &singer : list.singers())
            out << singer.address << '\t' << singer.name << '\n';
        return 0;
    }
    int status = 0;
    QStringList added;
    for (const QString &address : addresses) {
        if (action == QLatin1String("remove")) {
            if (!list.remove(address)) {
                err << "follow: not followed: " << address << '\n' << Qt::flush;
                status = 1;
            }
        } else if (list.contains(address)) {
            err << "follow: already followed: " << works::followedAddress(address) << '\n' << Qt::flush;
        } else {
            const QString canonical = works::followedAddress(address);
            const SingerPage page = readSingerPage(canonical);
            if (page.refused) {
                status = 1;
                continue;
            }
            list.add(canonical, page.name);
            added << (page.name.isEmpty() ? canonical : QStringLiteral("%1 (%2)").arg(page.name, canonical));
        }
    }
    if (const QString problem = list.save(); !problem.isEmpty()) {
        err << problem << '\n';
        return 1;
    }
    // Said once the list is saved: only then is the singer followed.
    for (const QString &singer : std::as_const(added))
        err << "已关注 " << singer << '\n';
    return status;
}

} // namespace cli
