#pragma once

#include <QHash>
#include <QSet>
#include <QString>

#include <functional>

namespace download {

// The files the works of one batch are saved as, settled before any transfer
// starts: two works never share a file or a partial file, and a file already
// in the folder is only taken by the work it is shown to hold.
class NameBook final
{
public:
    // Whether the regular file at `path` is shown to hold the work being named.
    using Proof = std::function<bool(const QString &path)>;

    struct Claim final
    {
        QString path;          // empty when no name could be had
        bool sameWork = false; // another entry of this run holds the same work
    };

    // Names files under `folder` after `nameTemplate` (download/outputtemplate.h;
    // empty: "<title> - <singer>.mp3").
    explicit NameBook(QString folder, QString nameTemplate = {})
        : m_folder(std::move(folder))
        , m_template(std::move(nameTemplate))
    {}

    // A file for the queue entry `entry` holding the work `key` (its id, else
    // its page address); an entry asking again gets its own file back.
    // The path is the template's when it is free, else with the work id (or a
    // number) added before ".mp3": "同名歌 - 歌手丙 (40002222).mp3", or
    // "歌手丙/同名歌 (40002222).mp3" for "{singer}/{title}". A path is free when
    // no other work of this run holds it or its partial file, and nothing is at
    // that place unless `isSameWork` accepts it.
    Claim claim(int entry, const QString &key, const QString &workId, const QString &title, const QString &singer,
                const Proof &isSameWork);

private:
    bool isFree(const QString &path, const Proof &isSameWork) const;

    QString m_folder;
    QString m_template;
    QSet<QString> m_taken; // folded paths of the files and partial files given out
    struct Holder final
    {
        int entry;
        QString path;
    };
    QHash<QString, Holder> m_holders; // work key -> who holds it, where
};

} // namespace download
