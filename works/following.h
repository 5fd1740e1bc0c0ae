#pragma once

#include <QList>
#include <QString>

// The singers a user follows, kept in one plain text file that the window
// and the command line share.
namespace works {

struct FollowedSinger final
{
    QString address; // a singer's home page, in its one spelling (followedAddress)
    QString name;    // as the singer's page gave it; may be empty
};

// A line of the file that names no singer: kept byte for byte, and shown to the user.
struct StrayLine final
{
    int number = 0; // from 1
    QString text;   // decoded as UTF-8 for showing; control characters left in
};

// The followed-singers file: one singer address a line, the name as a comment
// after it ("ADDRESS  # NAME"); blank lines and lines starting with "#" are
// the user's own notes.
class FollowList final
{
public:
    // $XDG_CONFIG_HOME/cantora-helper/following (~/.config when unset).
    static QString defaultPath();

    explicit FollowList(QString path = defaultPath());

    // Reads the file; a missing file is an empty list. Empty on success, else why not.
    QString load();
    // Writes the changes made since load() into the file: under a lock, and
    // onto the file as it is now, so that what another process changed
    // meanwhile stays. Every line is written back at once: a reader sees the
    // old file or the new one, never a mixture. Empty on success, else why not.
    QString save() const;

    QString path() const { return m_path; }
    QList<FollowedSinger> singers() const;
    QList<StrayLine> strayLines() const;
    bool contains(const QString &address) const;
    // False when the singer is followed already (a missing name is filled in then).
    bool add(const QString &address, const QString &name);
    // False when the singer was not followed.
    bool remove(const QString &address);
    // Gives a followed singer without a name the one its page showed; true when it had none.
    bool nameIfUnnamed(const QString &address, const QString &name);

private:
    struct Line final
    {
        QByteArray raw; // as read, for a line that is no singer's
        int number = 0; // in the file as read; 0 for a line added since
        bool singer = false;
        FollowedSinger entry;
    };
    // A change made since load(), to be made again on the file as it is when saving.
    struct Change final
    {
        enum class Kind { Add, Remove, Name } kind;
        QString address;
        QString name;
    };
    static Line parse(const QByteArray &raw);
    static QString format(const FollowedSinger &singer);
    void apply(const Change &change);
    QString write() const;

    QString m_path;
    QList<Line> m_lines;
    QList<Change> m_changes;
};

// Writes the names a sync learnt from the singers' pages into the list at
// `path`, for the singers it has no name for; the rest of it stays as it is.
void rememberNames(const QList<FollowedSinger> &singers, const QString &path = FollowList::defaultPath());

// `address` as the list keeps it, or an empty text when it is no singer's home
// page on the web. Every spelling of one singer's page gives the same text:
// what pasting put around it removed, scheme and host in lower case, no
// fragment, user, default port or "." and ".." in the path, and of the query
// only the singer's uid.
QString followedAddress(const QString &address);

// The singer's name on their home page (the text of its "nickname" heading);
// empty when the page shows none.
QString singerNameOn(const QString &singerPage);

} // namespace works
