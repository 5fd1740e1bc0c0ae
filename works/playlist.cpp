#include "works/playlist.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <utility>

namespace works {

namespace {

const QString kInfo = QStringLiteral("#EXTINF:");

// The entries the playlist at `path` holds, their paths made absolute.
QList<PlaylistEntry> listed(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QDir folder = QFileInfo(path).absoluteDir();
    QList<PlaylistEntry> entries;
    QString name;
    for (const QByteArray &raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(kInfo))
            name = line.section(QLatin1Char(','), 1);
        else if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
            entries.append({QDir::cleanPath(folder.absoluteFilePath(line)), std::exchange(name, QString())});
    }
    return entries;
}

} // namespace

QList<PlaylistEntry> savedWorks(const QList<download::WorkOutcome> &outcomes, const QStringList &order)
{
    QList<const download::WorkOutcome *> saved;
    for (const download::WorkOutcome &outcome : outcomes) {
        const bool kept = outcome.status == download::WorkOutcome::Status::Done ||
                          outcome.status == download::WorkOutcome::Status::Skipped;
        if (kept && !outcome.path.isEmpty() && QFileInfo(outcome.path).isFile())
            saved.append(&outcome);
    }
    std::stable_sort(saved.begin(), saved.end(), [&order](const auto *a, const auto *b) {
        return order.indexOf(a->source) < order.indexOf(b->source);
    });
    QList<PlaylistEntry> entries;
    for (const download::WorkOutcome *outcome : std::as_const(saved)) {
        const QString name = outcome->singer.isEmpty() || outcome->title.isEmpty()
                                 ? QFileInfo(outcome->path).completeBaseName()
                                 : outcome->singer + QStringLiteral(" - ") + outcome->title;
        entries.append({QDir::cleanPath(QFileInfo(outcome->path).absoluteFilePath()), name});
    }
    return entries;
}

QString keepPlaylist(const QString &path, const QList<PlaylistEntry> &newest, bool wholeFolder)
{
    const QDir folder = QFileInfo(path).absoluteDir();
    QList<PlaylistEntry> entries;
    QSet<QString> seen;
    const auto add = [&](const PlaylistEntry &entry) {
        if (!seen.contains(entry.path) && QFileInfo(entry.path).isFile()) {
            seen.insert(entry.path);
            entries.append(entry);
        }
    };
    for (const PlaylistEntry &entry : newest)
        add(entry);
    for (const PlaylistEntry &entry : listed(path))
        add(entry);
    if (wholeFolder && folder.exists()) {
        QList<QFileInfo> others;
        QDirIterator files(folder.path(), {QStringLiteral("*.mp3")}, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext())
            others.append(files.nextFileInfo());
        std::stable_sort(others.begin(), others.end(),
                         [](const QFileInfo &a, const QFileInfo &b) { return a.lastModified() > b.lastModified(); });
        for (const QFileInfo &file : std::as_const(others))
            add({QDir::cleanPath(file.absoluteFilePath()), file.completeBaseName()});
    }
    if (entries.isEmpty())
        return QString();

    QByteArray text = "#EXTM3U\n";
    for (const PlaylistEntry &entry : std::as_const(entries)) {
        QString relative = folder.relativeFilePath(entry.path);
        // A path starting with "#" would read as a comment.
        if (relative.startsWith(QLatin1Char('#')))
            relative.prepend(QStringLiteral("./"));
        text += (kInfo + QStringLiteral("-1,") + QString(entry.name).replace(QLatin1Char('\n'), QLatin1Char(' ')) +
                 QLatin1Char('\n') + relative + QLatin1Char('\n'))
                    .toUtf8();
    }
    QFile before(path);
    if (before.open(QIODevice::ReadOnly) && before.readAll() == text)
        return QString();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return QStringLiteral("无法写入 %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
    return QString();
}

} // namespace works
