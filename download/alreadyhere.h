#pragma once

#include <QHash>
#include <QString>

namespace download {

// Which work a saved file holds: its id and the song page it came from.
struct WorkSource final
{
    QString workId;
    QString pageAddress;
    bool isEmpty() const { return workId.isEmpty() && pageAddress.isEmpty(); }
    // The same work: by id when both have one, else by page address.
    bool sameAs(const WorkSource &other) const;
};

// $XDG_DATA_HOME/cantora-helper/sources.txt: where a file system that keeps no
// note on its files has them noted instead.
QString defaultSourceIndexPath();

// Notes on the finished part at `partPath` which work it holds; the note goes
// with it when it takes `finalPath`'s place. Where the file system keeps no
// note, the index at `indexPath` records `finalPath` and its size instead (no
// index: nothing); a file of another size there later is not taken for it.
void noteWork(const QString &partPath, const QString &finalPath, const WorkSource &source, const QString &indexPath);

// What the files under one folder (and up to `depth` levels of subfolders)
// hold, by work, read from their notes and the index when first asked.
class Holdings final
{
public:
    Holdings(QString folder, int depth, QString indexPath)
        : m_folder(std::move(folder))
        , m_depth(depth)
        , m_indexPath(std::move(indexPath))
    {}

    // The file noted to hold `work`; empty when there is none.
    QString find(const WorkSource &work);
    // Whether the file at `path` is noted to hold `work`.
    bool holds(const QString &path, const WorkSource &work);

private:
    void scan();
    WorkSource noted(const QString &path);

    QString m_folder;
    int m_depth;
    QString m_indexPath;
    bool m_scanned = false;
    struct Indexed final
    {
        WorkSource work;
        qint64 size = -1;
    };
    QHash<QString, Indexed> m_indexed; // from the index: path -> work, and the size it had then
    QHash<QString, QString> m_byId, m_byPage;
};

} // namespace download
