#include "cli/sitecommands.h"

#include "cli/options.h"
#include "cli/stop.h"
#include "cli/terminal.h"
#include "page/pagefetcher.h"
#include "page/songlookup.h"
#include "update/updatecheck.h"
#include "works/csvexport.h"
#include "works/harvest.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace cli {

namespace {

enum ExitStatus { kOk = 0, kSomeFailed = 1, kUsage = 2, kNewer = 3, kUnreadable = 4 };

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

QString withCause(const QString &text, const QString &cause)
{
    return cause.isEmpty() ? text : text + QStringLiteral(" (") + cause + QLatin1Char(')');
}

// A fetcher for one run; Ctrl-C ends whatever it waits for.
class RunFetcher final
{
public:
    RunFetcher()
    {
        m_fetcher.setTimeLimit(config().pageTimeoutMs);
        QObject::connect(StopSignal::instance(), &StopSignal::stopRequested, &m_fetcher, &PageFetcher::abortAll);
    }
    PageFetcher &operator*() { return m_fetcher; }

private:
    StopScope m_listening;
    PageFetcher m_fetcher;
};

// Splits `arguments` into options out of `known` and the rest; an unknown
// option is a usage error reported here.
bool splitArguments(const QString &command, const QStringList &arguments, const QStringList &known,
                    QStringList &options, QStringList &rest)
{
    bool optionsEnded = false;
    for (const QString &word : arguments) {
        if (!optionsEnded && word == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && word.startsWith(QLatin1Char('-')) && word.size() > 1) {
            if (!known.contains(word)) {
                err() << command << ": unknown option " << word << Qt::endl;
                return false;
            }
            options.append(word);
        } else {
            rest.append(word);
        }
    }
    return true;
}

void printFacts(const QString &address, const songpage::Facts &facts)
{
    const lookup::Captions shown = lookup::captionsOf(facts);
    const QStringList lines{
        QStringLiteral("网页地址：") + address,
        shown.singer,
        shown.fans,
        QStringLiteral("个人简介：") + shown.description,
        shown.title,
        shown.counters[0],
        shown.counters[1],
        shown.counters[2],
        shown.counters[3],
        QStringLiteral("头像地址：") + facts.avatarAddress,
        QStringLiteral("音乐地址：") + facts.audioAddress,
        QStringLiteral("视频地址：") + facts.videoAddress,
        QStringLiteral("音乐ID：") + songpage::workIdFrom(facts.audioAddress, QString()),
    };
    for (const QString &line : lines)
        out() << oneLine(line) << '\n';
}

QJsonObject factsObject(const QString &address, const songpage::Facts &facts)
{
    using songpage::Counter;
    const auto counter = [&facts](Counter which) { return facts.counters[static_cast<int>(which)]; };
    return QJsonObject{
        {QStringLiteral("address"), address},
        {QStringLiteral("singer"), facts.singerName},
        {QStringLiteral("fans"), facts.fanCount},
        {QStringLiteral("description"), facts.description},
        {QStringLiteral("title"), facts.title},
        {QStringLiteral("plays"), counter(Counter::Plays)},
        {QStringLiteral("gifts"), counter(Counter::Gifts)},
        {QStringLiteral("shares"), counter(Counter::Shares)},
        {QStringLiteral("comments"), counter(Counter::Comments)},
        {QStringLiteral("avatar"), facts.avatarAddress},
        {QStringLiteral("audio"), facts.audioAddress},
        {QStringLiteral("video"), facts.videoAddress},
        {QStringLiteral("workId"), songpage::workIdFrom(facts.audioAddress, QString())},
    };
}

void printJson(const QJsonObject &object)
{
    out() << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) << '\n';
}

} // namespace

int runCheck(const QStringList &arguments)
{
    QStringList options, rest;
    if (!splitArguments(QStringLiteral("check"), arguments, {}, options, rest))
        return kUsage;
    if (!rest.isEmpty()) {
        err() << "check: takes no addresses" << Qt::endl;
        return kUsage;
    }
    RunFetcher fetcher;
    const update::Verdict verdict = update::check(*fetcher, config().versionFileUrl());
    switch (verdict.outcome) {
    case update::Outcome::Current:
        out() << update::welcomeText() << Qt::endl;
        return kOk;
    case update::Outcome::OtherVersion:
        // The announcement's first line; the rest tells of a forum the window opens.
        out() << oneLine(update::announcement(verdict.version).section(QStringLiteral("\r\n"), 0, 0)) << '\n'
              << config().forumUrl << Qt::endl;
        return kNewer;
    case update::Outcome::Unreadable:
        break;
    }
    err() << withCause(update::unreadableText(), oneLine(verdict.failure)) << Qt::endl;
    return kUnreadable;
}

int runLookup(const QStringList &arguments)
{
    QStringList options, addresses;
    if (!splitArguments(QStringLiteral("lookup"), arguments, {QStringLiteral("--json")}, options, addresses))
        return kUsage;
    if (addresses.isEmpty()) {
        err() << "lookup: give at least one song-page address" << Qt::endl;
        return kUsage;
    }
    const bool json = options.contains(QLatin1String("--json"));

    RunFetcher fetcher;
    int failed = 0;
    int printed = 0;
    for (const QString &address : addresses) {
        if (stopRequested()) {
            ++failed;
            continue;
        }
        // Every work is cut afresh: a marker missing from one page must not
        // show the facts of the page before it.
        songpage::WorkingTexts texts;
        const lookup::Result found = lookup::lookUp(*fetcher, config(), address, texts);
        if (found.status != lookup::Status::Found) {
            ++failed;
            QString text = lookup::statusText(found.status);
            QString cause = found.failure;
            if (found.status == lookup::Status::EmptyPage || found.status == lookup::Status::Cancelled) {
                // The window says nothing here; a run that prints nothing would look like success.
                text = lookup::statusText(lookup::Status::FetchFailed);
                cause = found.status == lookup::Status::EmptyPage ? QStringLiteral("empty page")
                                                                  : QStringLiteral("stopped");
            }
            out().flush();
            err() << oneLine(address) << ": " << withCause(text, oneLine(cause)) << Qt::endl;
            const QString hint = otherSiteHint(address);
            if (found.status == lookup::Status::NotASongPage && !hint.isEmpty())
                err() << oneLine(hint) << Qt::endl;
            continue;
        }
        if (json) {
            printJson(factsObject(address, found.facts));
        } else {
            // A blank line between records, none before the first one printed.
            if (printed > 0)
                out() << '\n';
            printFacts(address, found.facts);
        }
        ++printed;
        out().flush();
    }
    return failed > 0 ? kSomeFailed : kOk;
}

int runHarvest(const QStringList &arguments)
{
    QStringList options, addresses;
    if (!splitArguments(QStringLiteral("harvest"), arguments, {QStringLiteral("--json"), QStringLiteral("--csv")},
                        options, addresses))
        return kUsage;
    options.removeDuplicates();
    if (addresses.size() != 1 || options.size() > 1) {
        err() << "harvest: give one singer address, and at most one of --json and --csv" << Qt::endl;
        return kUsage;
    }
    const QString address = addresses.first();
    const works::HarvestStatus check = works::checkSingerAddress(address);
    if (check != works::HarvestStatus::Fetching) {
        err() << works::statusText(check) << Qt::endl;
        return kUsage;
    }

    RunFetcher fetcher;
    const FetchResult page = (*fetcher).GetBody(address);
    if (page.status != FetchStatus::Ok || page.text.isEmpty()) {
        // Unlike the window, an error page is no list of works here: saying
        // "no works" for a 404 would pass a failure off as an answer.
        const QString cause = page.status == FetchStatus::ErrorPage ? QStringLiteral("HTTP %1").arg(page.httpStatus)
                              : page.status == FetchStatus::Ok      ? QStringLiteral("empty page")
                                                                    : page.error;
        err() << withCause(works::statusText(works::HarvestStatus::NoPage), oneLine(cause)) << Qt::endl;
        return kSomeFailed;
    }

    works::HarvestSlots harvestSlots;
    harvestSlots[0] = page.text;
    const qint16 markers = works::countMarkers(harvestSlots[0]);
    const std::vector<works::WorkRow> rows = works::fillRows(harvestSlots, markers);
    if (markers == 0)
        err() << works::statusText(works::HarvestStatus::NoWorks) << Qt::endl;

    const auto record = [](const works::WorkRow &row) {
        return QStringList{QString::number(row.number), row.id, row.title, config().playAddressService(row.id)};
    };
    if (options.contains(QLatin1String("--csv"))) {
        QList<QStringList> records;
        records.reserve(qsizetype(rows.size()));
        for (const works::WorkRow &row : rows)
            records.append(record(row));
        out().flush();
        const QByteArray csv = works::toCsv(works::exportColumns(), records);
        fwrite(csv.constData(), 1, size_t(csv.size()), stdout);
        fflush(stdout);
    } else if (options.contains(QLatin1String("--json"))) {
        for (const works::WorkRow &row : rows)
            printJson(QJsonObject{{QStringLiteral("number"), row.number},
                                  {QStringLiteral("id"), row.id},
                                  {QStringLiteral("title"), row.title},
                                  {QStringLiteral("serviceAddress"), config().playAddressService(row.id)}});
    } else {
        for (const works::WorkRow &row : rows) {
            QStringList fields = record(row);
            for (QString &field : fields)
                field = oneLine(field);
            out() << fields.join(QLatin1Char('\t')) << '\n';
        }
    }
    out().flush();
    return kOk;
}

} // namespace cli
