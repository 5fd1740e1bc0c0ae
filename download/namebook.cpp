#include "download/namebook.h"

#include "download/downloadstatus.h"
#include "download/filename.h"
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

QString partName(const QString &name)
{
    return QFileInfo(Transfer::partialPath(name)).fileName();
}

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

bool NameBook::isFree(const QString &name, const Proof &isSameWork) const
{
    if (m_taken.contains(folded(name)) || m_taken.contains(folded(partName(name))))
        return false;
    const QFileInfo there(QDir(m_folder).filePath(name));
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
    // Bounded: a folder that holds this many copies already is no place to add one more.
    constexpr int kRounds = 100;
    for (int round = -1; round < kRounds; ++round) {
        const QString stem = title + QStringLiteral(" - ") + singer;
        // The mark goes after the cut, so it is never cut away.
        const QString name = round < 0 ? workFileName(title, singer)
                                       : safeFileName(stem, idMark(workId, round) + QStringLiteral(".mp3"));
        if (!isFree(name, isSameWork))
            continue;
        m_taken.insert(folded(name));
        m_taken.insert(folded(partName(name)));
        const QString path = QDir(m_folder).filePath(name);
        m_holders.insert(key, {entry, path});
        return {path, false};
    }
    return {};
}

} // namespace download
