// cantora-cli: the site's lookups, harvests, downloads and the version check,
// without a window.

#include "cli/downloadcommand.h"
#include "cli/followcommand.h"
#include "cli/options.h"
#include "cli/sitecommands.h"
#include "cli/stop.h"
#include "config/runconfig.h"
#include "update/updatecheck.h"

#include <QCoreApplication>
#include <QTextStream>

#include <functional>

namespace {

struct Subcommand final
{
    const char *name;
    const char *synopsis;
    const char *summary;
    std::function<int(const QStringList &)> run;
};

const QList<Subcommand> &subcommands()
{
    static const QList<Subcommand> all{
        {"check", "check",
         "Reads the version file: 0 when this version is current, 3 when another is out, 4 when "
         "the file cannot be read.",
         cli::runCheck},
        {"lookup", "lookup [--json] SONG_PAGE_URL...",
         "Prints the facts of each work: singer, fans, description, title, plays, gifts, shares, comments, avatar, "
         "audio and video address, work id. --json: one JSON object a line.",
         cli::runLookup},
        {"harvest", "harvest [--json | --csv] SINGER_URL",
         "Lists the works on a singer's home page: number, id, title, play-address service address. Text with tabs, "
         "--json (one object a line) or --csv (with a header row).",
         cli::runHarvest},
        {"download",
         "download [-o DIR] [-j N] [--archive FILE] [--tag] [--retries N] [--limit-rate RATE] [--sleep-requests "
         "SECONDS] (SONG_PAGE_URL... | --singer SINGER_URL)",
         "Downloads works to DIR/<title> - <singer>.mp3 (the work id added when that name is taken), N at a time "
         "(default 4, at most 32), skipping ids in the archive file and resuming .part files. --tag writes ID3v2.4 "
         "tags. --limit-rate caps the speed of the whole run (500K, 2M); --sleep-requests waits between page "
         "requests. Ctrl-C stops and keeps the .part files.",
         cli::runDownload},
        {"follow", "follow (add SINGER_URL... | remove SINGER_URL... | list)",
         "Keeps the list of followed singers in $XDG_CONFIG_HOME/cantora-helper/following, one address a line with "
         "the name as a comment. list prints address TAB name; lines that are no singer address are reported and kept.",
         cli::runFollow},
        {"sync",
         "sync [-o DIR] [-j N] [--archive FILE] [--tag] [--notify] [--retries N] [--limit-rate RATE] "
         "[--sleep-requests SECONDS]",
         "Downloads the new works of every followed singer to DIR/<singer>/ (default: the Music folder), 2 at a time "
         "unless -j says otherwise, skipping the ids in the archive (default "
         "$XDG_DATA_HOME/cantora-helper/archive.txt). "
         "stdout lists the new files. --notify sends one desktop notification when new works came. Exit 1 when a "
         "singer or a work failed.",
         cli::runSync},
    };
    return all;
}

const Subcommand *findSubcommand(const QString &name)
{
    for (const Subcommand &command : subcommands()) {
        if (name == QLatin1String(command.name))
            return &command;
    }
    return nullptr;
}

QString usage()
{
    QString text = QStringLiteral("Usage: cantora-cli [--help] [--version] COMMAND [ARGS...]\n\nCommands:\n");
    for (const Subcommand &command : subcommands())
        text += QStringLiteral("  cantora-cli ") + QLatin1String(command.synopsis) + QLatin1Char('\n');
    text += QStringLiteral("\n'cantora-cli help COMMAND' describes one command.\n"
                           "Exit status: 0 ok, 1 some failed, 2 usage error, 3/4 for check.\n");
    return text;
}

QString commandHelp(const Subcommand &command)
{
    return QStringLiteral("Usage: cantora-cli ") + QLatin1String(command.synopsis) + QStringLiteral("\n\n") +
           QLatin1String(command.summary) + QLatin1Char('\n');
}

int usageError(const QString &message)
{
    QTextStream(stderr) << "cantora-cli: " << message << "\n\n" << usage();
    return 2;
}

// Takes the hidden "--site BASE" (or "--site=BASE") out of `words`, wherever it
// stands before a "--". False when it has no value.
bool takeSiteOption(QStringList &words, QString &site)
{
    for (qsizetype i = 0; i < words.size() && words[i] != QLatin1String("--");) {
        if (words[i] == QLatin1String("--site")) {
            if (i + 1 >= words.size())
                return false;
            site = words[i + 1];
            words.remove(i, 2);
        } else if (words[i].startsWith(QLatin1String("--site="))) {
            site = words[i].mid(7);
            words.remove(i);
        } else {
            ++i;
        }
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("cantora-cli"));
    QCoreApplication::setApplicationVersion(QLatin1String(update::kBuiltInVersion));

    QStringList words = QCoreApplication::arguments().mid(1);
    QString site;
    if (!takeSiteOption(words, site))
        return usageError(QStringLiteral("--site needs a base address"));
    cli::setConfig(runconfig::fromEnvironment(site));

    QTextStream out(stdout);
    if (words.isEmpty())
        return usageError(QStringLiteral("no command given"));
    const QString first = words.takeFirst();
    if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
        out << usage();
        return 0;
    }
    if (first == QLatin1String("--version")) {
        out << "cantora-cli " << update::kBuiltInVersion << '\n';
        return 0;
    }
    if (first == QLatin1String("help")) {
        if (words.isEmpty()) {
            out << usage();
            return 0;
        }
        const Subcommand *command = findSubcommand(words.first());
        if (!command)
            return usageError(QStringLiteral("no such command: ") + words.first());
        out << commandHelp(*command);
        return 0;
    }
    const Subcommand *command = findSubcommand(first);
    if (!command)
        return usageError(QStringLiteral("no such command: ") + first);
    const qsizetype optionsEnd = words.indexOf(QStringLiteral("--"));
    const QStringList options = optionsEnd < 0 ? words : words.mid(0, optionsEnd);
    if (options.contains(QStringLiteral("--help")) || options.contains(QStringLiteral("-h"))) {
        out << commandHelp(*command);
        return 0;
    }

    cli::installStopHandler(app);
    return command->run(words);
}
