// cantora-cli: the site's lookups, harvests, downloads and the version check,
// without a window.

#include "cli/desktopnotifier.h"
#include "cli/downloadcommand.h"
#include "cli/followcommand.h"
#include "cli/options.h"
#include "cli/outputoptions.h"
#include "cli/sitecommands.h"
#include "cli/stop.h"
#include "config/runconfig.h"
#include "update/updatecheck.h"

#include <QCoreApplication>
#include <QTextStream>

#include <functional>

namespace {

struct OptionHelp final
{
    const char *words;
    const char *meaning;
};

struct Subcommand final
{
    const char *name;
    const char *synopsis;
    const char *summary;
    QList<OptionHelp> options;
    std::function<int(const QStringList &)> run;
};

const QList<OptionHelp> &globalOptions()
{
    static const QList<OptionHelp> all{
        {"--site BASE", "work against the site at BASE (scheme and host, e.g. http://127.0.0.1:18733); wins over "
                        "CANTORA_SITE_BASE"},
        {"-q, --quiet", "download, sync: no progress and no line per work; failures still show"},
        {"-v, --verbose", "download, sync: a line for skipped and stopped works too, with sizes and addresses"},
        {"-h, --help", "this help; after a command, that command's help"},
        {"-V, --version", "the program's version"},
    };
    return all;
}

// The site's addresses (the window reads the same ones), then the terminal's.
const QList<OptionHelp> &environment()
{
    static const QList<OptionHelp> all = [] {
        QList<OptionHelp> rows;
        for (const runconfig::Variable &variable : runconfig::variables())
            rows << OptionHelp{variable.name, variable.meaning};
        rows << OptionHelp{"NO_COLOR", "when set and not empty: no colour; the progress lines stay"}
             << OptionHelp{"TERM", "\"dumb\" (or standard error no terminal): nothing redrawn; a progress line every "
                                   "5 seconds besides the line per work"}
             << OptionHelp{"COLUMNS", "the width of the live lines when the terminal does not tell it"};
        return rows;
    }();
    return all;
}

// What download and sync take alike.
const QList<OptionHelp> &batchOptions()
{
    static const QList<OptionHelp> all{
        {"-o DIR", "the folder to save into (default: the Music folder)"},
        {"--output TEMPLATE",
         "the file name under DIR, from {title}, {singer} and {id}; \"/\" makes subfolders, "
         "e.g. {singer}/{title}.mp3 (default: \"{title} - {singer}.mp3\"); the work id is added when that "
         "name is taken"},
        {"-j, --jobs N", "transfers at once (at most 32)"},
        {"--archive FILE", "skip the work ids listed in FILE, and add each one downloaded"},
        {"--tag", "write ID3v2.4 tags: title, singer, avatar as cover, page address"},
        {"--force", "fetch again the works already saved (known by a note on each file) instead of skipping them; "
                    "the archive still skips its ids"},
        {"--retries N", "tries again after a network error, a 5xx answer or a request to wait (default 3)"},
        {"--limit-rate RATE", "the most bytes per second of the whole run, e.g. 500K or 2M"},
        {"--sleep-requests SECONDS", "the least time between two page requests; fractions are allowed"},
    };
    return all;
}

const QList<Subcommand> &subcommands()
{
    static const QList<Subcommand> all{
        {"check",
         "check",
         "Reads the version file: 0 when this version is current, 3 when another is out, 4 when the file cannot be "
         "read.",
         {},
         cli::runCheck},
        {"lookup",
         "lookup [--json] SONG_PAGE_URL...",
         "Prints the facts of each work: singer, fans, description, title, plays, gifts, shares, comments, avatar, "
         "audio and video address, work id. An address that fails (of the wrong kind included) is reported on "
         "standard error and the others are still looked up; the exit status is then 1.",
         {{"--json", "one JSON object a line instead of labelled lines"}},
         cli::runLookup},
        {"harvest",
         "harvest [--json | --csv] SINGER_URL",
         "Lists the works on a singer's home page: number, id, title, play-address service address, as text with "
         "tabs. An address that is no singer's page is a usage error (exit 2).",
         {{"--json", "one JSON object a line"}, {"--csv", "RFC 4180 CSV with a header row"}},
         cli::runHarvest},
        {"download",
         "download [-o DIR] [--output TEMPLATE] [-j N] [--archive FILE] [--tag] [--force] [--retries N] [--limit-rate "
         "RATE] [--sleep-requests SECONDS] (SONG_PAGE_URL... | --singer SINGER_URL [--playlist])",
         "Downloads works, N at a time (default 4), skipping the works already saved and the ids in the archive file, "
         "and resuming .part files. "
         "Standard output gets the path of each file saved, one a line; progress, a line per work, failures and the "
         "summary go to standard error. Ctrl-C stops and keeps the .part files.",
         batchOptions() + QList<OptionHelp>{{"--singer SINGER_URL", "every work on the singer's home page"},
                                            {"--playlist", "with --singer: keep DIR/<singer>.m3u8, the singer's saved "
                                                           "works newest first"}},
         cli::runDownload},
        {"follow",
         "follow (add SINGER_URL... | remove SINGER_URL... | list)",
         "Keeps the list of followed singers in $XDG_CONFIG_HOME/cantora-helper/following, one address a line with "
         "the name as a comment. add reads each singer's page first: an address with no singer's page behind it "
         "is refused (exit 1); one whose page cannot be read now is followed with a warning. Every spelling of one "
         "singer's address is one singer. list prints address TAB name; lines that are no singer address are "
         "reported and kept.",
         {},
         cli::runFollow},
        {"sync",
         "sync [-o DIR] [--output TEMPLATE] [-j N] [--archive FILE] [--tag] [--force] [--retries N] [--limit-rate "
         "RATE] "
         "[--sleep-requests SECONDS] [--notify]",
         "Downloads the new works of every followed singer to DIR/<singer>/, 2 at a time unless -j says otherwise, "
         "skipping the ids in the archive (default $XDG_DATA_HOME/cantora-helper/archive.txt), and keeps "
         "DIR/<singer>/<singer>.m3u8, the singer's works there, newest first. Standard output and standard error as "
         "for download. Exit 1 when a singer or a work failed.",
         batchOptions() +
             QList<OptionHelp>{{"--notify",
                                "one desktop notification when new works came or something failed (at most a few "
                                "seconds)"}},
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

// `text` broken between words into lines of at most kHelpWidth columns:
// the first goes on after `used` columns, the others are indented by `indent`.
constexpr int kHelpWidth = 79;

QString wrapped(const QString &text, int indent, int used)
{
    QString out;
    bool first = true;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!first && used + 1 + word.size() > kHelpWidth) {
            out += QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
            used = indent;
        } else if (!first) {
            out += QLatin1Char(' ');
            ++used;
        }
        out += word;
        used += int(word.size());
        first = false;
    }
    return out + QLatin1Char('\n');
}

// A synopsis wrapped between its parts, never inside "[...]" or "(...)".
QString synopsisLines(const char *synopsis, int indent, int used)
{
    QString text = QLatin1String(synopsis);
    int depth = 0;
    for (QChar &c : text) {
        depth += c == QLatin1Char('[') || c == QLatin1Char('(');
        depth -= c == QLatin1Char(']') || c == QLatin1Char(')');
        if (depth > 0 && c == QLatin1Char(' '))
            c = QChar::Nbsp;
    }
    return wrapped(text, indent, used).replace(QChar::Nbsp, QLatin1Char(' '));
}

QString table(const QList<OptionHelp> &rows)
{
    constexpr int kMeaningColumn = 24;
    QString text;
    for (const OptionHelp &row : rows) {
        const QString words = QStringLiteral("  ") + QLatin1String(row.words);
        // Words that reach the meaning's column get a line of their own.
        if (words.size() >= kMeaningColumn)
            text += words + QLatin1Char('\n') + QString(kMeaningColumn - 1, QLatin1Char(' '));
        else
            text += words.leftJustified(kMeaningColumn - 1);
        text += QLatin1Char(' ') + wrapped(QLatin1String(row.meaning), kMeaningColumn, kMeaningColumn);
    }
    return text;
}

QString usage()
{
    QString text = QStringLiteral("Usage: cantora-cli [--site BASE] [-q | -v] COMMAND [ARGS...]\n"
                                  "       cantora-cli --help | --version\n\nCommands:\n");
    for (const Subcommand &command : subcommands())
        text += QStringLiteral("  cantora-cli ") + synopsisLines(command.synopsis, 16, 14);
    text += QStringLiteral("\nGlobal options (before or after the command):\n") + table(globalOptions()) +
            QStringLiteral("\nEnvironment:\n") + table(environment()) + QLatin1Char('\n') +
            wrapped(QStringLiteral("Exit status: 0 ok; 1 a work, page or address failed; 2 usage error; 3 and 4 "
                                   "for check; 130 stopped by Ctrl-C (SIGINT), 143 by SIGTERM."),
                    0, 0) +
            QStringLiteral("'cantora-cli help COMMAND' describes one command.\n");
    return text;
}

QString commandHelp(const Subcommand &command)
{
    QString text = QStringLiteral("Usage: cantora-cli ") + synopsisLines(command.synopsis, 20, 19) + QLatin1Char('\n') +
                   wrapped(QLatin1String(command.summary), 0, 0);
    if (!command.options.isEmpty())
        text += QStringLiteral("\nOptions:\n") + table(command.options);
    return text + QStringLiteral("\nGlobal options:\n") + table(globalOptions());
}

int usageError(const QString &message)
{
    QTextStream(stderr) << "cantora-cli: " << message << "\n\n" << usage();
    return 2;
}

// Takes "--site BASE" (or "--site=BASE") out of `words`, wherever it
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
    if (words.size() == 3 && words.first() == QLatin1String(cli::kSendNotificationWord))
        return cli::sendNotification(words[1], words[2]);
    QString site;
    if (!takeSiteOption(words, site))
        return usageError(QStringLiteral("--site needs a base address"));
    cli::setOutput(cli::takeOutputOptions(words));
    cli::setConfig(runconfig::fromEnvironment(site));

    QTextStream out(stdout);
    if (words.isEmpty())
        return usageError(QStringLiteral("no command given"));
    const QString first = words.takeFirst();
    if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
        out << usage();
        return 0;
    }
    const auto printVersion = [&out] {
        out << "cantora-cli " << update::kBuiltInVersion << '\n';
        return 0;
    };
    if (first == QLatin1String("--version") || first == QLatin1String("-V"))
        return printVersion();
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
    // Listed among the options taken before or after the command, so honoured after it too.
    if (options.contains(QStringLiteral("--version")) || options.contains(QStringLiteral("-V")))
        return printVersion();

    cli::installStopHandler(app);
    const int status = command->run(words);
    // A stopped run ends tidily above, and then tells the caller it was stopped.
    return cli::stopRequested() ? cli::stoppedExitStatus() : status;
}
