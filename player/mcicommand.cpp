#include "player/mcicommand.h"

#include <QStringList>

namespace mci {
namespace {

std::optional<Command> fail(Result *error, Result why)
{
    if (error)
        *error = why;
    return std::nullopt;
}

bool same(const QString &a, const char *b)
{
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

} // namespace

std::optional<Command> parse(const QString &text, Result *error)
{
    const QString command = text.trimmed();

    // The open command first: its address may hold blanks, so it is cut by
    // its fixed head and tail rather than split into words.
    static const QString openHead = QStringLiteral("open ");
    static const QString openTail = QStringLiteral(" alias OpenFile type MPEGVideo");
    if (command.startsWith(openHead, Qt::CaseInsensitive)) {
        const qsizetype tail = command.lastIndexOf(openTail, -1, Qt::CaseInsensitive);
        if (tail < openHead.size() || tail + openTail.size() != command.size())
            return fail(error, Result::MissingParameter);
        Command open;
        open.verb = Verb::Open;
        open.address = command.mid(openHead.size(), tail - openHead.size());
        if (open.address.trimmed().isEmpty())
            return fail(error, Result::MissingParameter);
        return open;
    }

    const QStringList words = command.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return fail(error, Result::UnrecognizedCommand);

    const QString &verb = words.first();
    if (same(verb, "close")) {
        if (words.size() != 2)
            return fail(error, Result::MissingParameter);
        if (same(words[1], "all"))
            return Command{Verb::CloseAll, {}, 0};
        if (same(words[1], kAlias))
            return Command{Verb::Close, {}, 0};
        return fail(error, Result::InvalidDeviceName);
    }
    if (same(verb, "play")) {
        if (words.size() != 2)
            return fail(error, Result::MissingParameter);
        if (!same(words[1], kAlias))
            return fail(error, Result::InvalidDeviceName);
        return Command{Verb::Play, {}, 0};
    }
    if (same(verb, "setaudio")) {
        if (words.size() != 5 || !same(words[2], "volume") || !same(words[3], "to"))
            return fail(error, Result::MissingParameter);
        if (!same(words[1], kAlias))
            return fail(error, Result::InvalidDeviceName);
        bool isNumber = false;
        const int volume = words[4].toInt(&isNumber, 10);
        if (!isNumber)
            return fail(error, Result::BadInteger);
        if (volume < 0 || volume > 1000)
            return fail(error, Result::OutOfRange);
        return Command{Verb::SetVolume, {}, volume};
    }
    return fail(error, Result::UnrecognizedCommand);
}

} // namespace mci
