#include "cli/followcommand.h"

#include "cli/options.h"
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

// The name the singer's page shows; empty (and said why) when it cannot be read.
QString nameFromPage(const QString &address)
{
    PageFetcher fetcher;
    fetcher.setTimeLimit(config().pageTimeoutMs);
    const FetchResult page = fetcher.GetBody(address);
    const QString name = page.status == FetchStatus::Ok ? works::singerNameOn(page.text) : QString();
    if (name.isEmpty())
        QTextStream(stderr) << "follow: " << address << ": "
                            << (page.status == FetchStatus::Ok
                                    ? QStringLiteral("页面上没有歌手名")
                                    : works::statusText(works::HarvestStatus::NoPage) + QStringLiteral(" (") +
                                          page.cause() + QLatin1Char(')'))
                            << "; followed without a name\n";
    return name;
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
            << ": 不是歌手主页地址, 已保留: " << line.text << '\n';
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
    for (const QString &address : addresses) {
        if (action == QLatin1String("remove")) {
            if (!list.remove(address)) {
                err << "follow: not followed: " << address << '\n';
                status = 1;
            }
        } else if (list.contains(address)) {
            err << "follow: already followed: " << address << '\n';
        } else {
            list.add(address, nameFromPage(works::followedAddress(address)));
        }
    }
    if (const QString problem = list.save(); !problem.isEmpty()) {
        err << problem << '\n';
        return 1;
    }
    return status;
}

} // namespace cli
