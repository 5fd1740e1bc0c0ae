#include "download/outputtemplate.h"

#include "download/downloadstatus.h"
#include "download/filename.h"

#include <QDir>
#include <QStringList>

namespace download {

namespace {

const QString kSuffix = QStringLiteral(".mp3");

// Calls `field` for each "{name}" in `text` and `literal` for the text between;
// a brace that opens no known-looking field is literal text.
template <typename Literal, typename Field> void scan(const QString &text, Literal literal, Field field)
{
    qsizetype from = 0;
    while (from < text.size()) {
        const qsizetype open = text.indexOf(QLatin1Char('{'), from);
        const qsizetype close = open < 0 ? -1 : text.indexOf(QLatin1Char('}'), open);
        if (close < 0) {
            literal(text.mid(from));
            return;
        }
        literal(text.mid(from, open - from));
        field(text.mid(open + 1, close - open - 1));
        from = close + 1;
    }
}

// The value of field `name`, or a null string for one not known.
QString fieldValue(const QString &name, const WorkNames &names)
{
    if (name == QLatin1String("title"))
        return names.title.isNull() ? QStringLiteral("") : names.title;
    if (name == QLatin1String("singer"))
        return names.singer.isNull() ? QStringLiteral("") : names.singer;
    if (name == QLatin1String("id"))
        return names.id.isNull() ? QStringLiteral("") : names.id;
    return QString();
}

} // namespace

QString templateProblem(const QString &nameTemplate)
{
    QStringList unknown;
    bool apart = false;
    scan(
        nameTemplate, [](const QString &) {},
        [&](const QString &name) {
            if (fieldValue(name, {}).isNull())
                unknown.append(QLatin1Char('{') + name + QLatin1Char('}'));
            apart = apart || name == QLatin1String("title") || name == QLatin1String("id");
        });
    if (!unknown.isEmpty())
        return QStringLiteral("unknown field %1 (known: {title}, {singer}, {id})")
            .arg(unknown.join(QStringLiteral(", ")));
    // Names every work gets alike that would lead out of the folder or stand for it.
    for (const QString &part : nameTemplate.split(QLatin1Char('/'))) {
        if (part == QLatin1String(".") || part == QLatin1String(".."))
            return QStringLiteral("\"%1\" cannot be a part of the name: every file stays inside the folder").arg(part);
    }
    if (!apart)
        return QStringLiteral("the name must hold {title} or {id}, or every work would go to one file");
    return QString();
}

QString templatedPath(const QString &folder, const QString &nameTemplate, const WorkNames &names)
{
    if (nameTemplate.isEmpty())
        return QDir(folder).filePath(workFileName(names.title, names.singer));
    QStringList parts;
    for (const QString &part : nameTemplate.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        QString filled;
        scan(
            part, [&](const QString &text) { filled += text; },
            [&](const QString &name) {
                const QString value = fieldValue(name, names);
                filled += value.isNull() ? QLatin1Char('{') + name + QLatin1Char('}') : value;
            });
        parts.append(filled);
    }
    if (parts.isEmpty())
        parts.append(QString());
    QString last = parts.takeLast();
    if (last.endsWith(kSuffix, Qt::CaseInsensitive))
        last.chop(kSuffix.size());
    QString path = folder;
    // Each part is one name: separators, a leading dot (so "." and "..") and
    // emptiness are all made harmless by the safe-name rule.
    for (const QString &part : std::as_const(parts))
        path = QDir(path).filePath(safeFileName(part, QString()));
    return QDir(path).filePath(safeFileName(last, kSuffix));
}

} // namespace download
