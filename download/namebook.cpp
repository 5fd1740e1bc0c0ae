#include "download/namebook.h"

#include "download/filename.h"
#include "download/outputtemplate.h"
#include "download/transfer.h"

#include <QDir>
#include <QFileInfo>

namespace download {

namespace {

// Several file systems the folder may sit on ignore case.
QString folded(const QString &name)
{
    return name.toCaseFolded();
}

const QString kSuffix = QStringLiteral(".mp3");

// The id as a part of a file name: a site's id is digits, anything else is made harmless and short.
QString idMark(const QString &workId, int round)
{
    constexpr int kLongestId = 40;
    const QString id = safeFileName(workId.left(kLongestId), QString());
    if (workId.isEmpty())
        return QStringLiteral(" (%1)").arg(round + 2); // the plain name counts as the first
    return round == 0 ? QStringLiteral(" (%1)").arg(id) : QStringLiteral(" (%1-%2)").arg(id).arg(round + 1);
}

} // namespace

bool NameBook::isFree(const QString &path, const Proof &isSameWork) const
{
    if (m_taken.contains(folded(path)) || m_taken.contains(folded(Transfer::partialPath(path))))
        return false;
    const QFileInfo there(path);
    // A link, even one that leads nowhere, is never written through.
    if (there.isSymLink())
        return false;
    if (!there.exists())
        return true;
    return there.isFile() && isSameWork && isSameWork(there.filePath());
}

NameBook::Claim NameBook::claim(int entry, const QString &key, const QString &workId, const QString &title,
                                const QString &singer, const Proof &isSameWork)
{
    const auto held = m_holders.constFind(key);
    if (held != m_holders.cend())
        return held->entry == entry ? Claim{held->path, false} : Claim{QString(), true};
    const QFileInfo first(templatedPath(m_folder, m_template, {title, singer, workId}));
    const QDir where = first.dir();
    QString stem = first.fileName();
    stem.chop(kSuffix.size());
    // Bounded: a folder that holds this many copies already is no place to add one more.
    constexpr int kRounds = 100;
    for (int round = -1; round < kRounds; ++round) {
        // The mark goes after the cut, so it is never cut away.
        const QString path =
            round < 0 ? first.filePath() : where.filePath(safeFileName(stem, idMark(workId, round) + kSuffix));
        if (!isFree(path, isSameWork))
            continue;
        m_taken.insert(folded(path));
        m_taken.insert(folded(Transfer::partialPath(path)));
        m_holders.insert(key, {entry, path});
        return {path, false};
    }
    return {};
}

} // namespace download
