#include "works/following.h"

#include "download/filelock.h"
#include "download/filename.h"
#include "page/textcut.h"
#include "page/webaddress.h"
#include "works/harvest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrlQuery>

namespace works {

QString followedAddress(const QString &address)
{
    const QString kept = pastedAddress(address);
    // A blank inside would end the address on the next read.
    if (checkSingerAddress(kept) != HarvestStatus::Fetching || kept.contains(QLatin1Char(' ')) ||
        kept.contains(QLatin1Char('\t')))
        return QString();
    QUrl url(kept, QUrl::TolerantMode);
    const QString uid = QUrlQuery(url).queryItemValue(QStringLiteral("uid"), QUrl::FullyEncoded);
    if (!isWebAddress(url) || uid.isEmpty())
        return QString();
    // One spelling for every way of writing one singer's page: the page is
    // told by its host, path and uid alone.
    url.setScheme(url.scheme().toLower());
    url.setHost(url.host().toLower());
    url.setUserInfo(QString());
    url.setFragment(QString());
    url.setQuery(QStringLiteral("uid=") + uid, QUrl::StrictMode);
    if (url.port() == (url.scheme() == QLatin1String("https") ? 443 : 80))
        url.setPort(-1);
    return url.toString(QUrl::FullyEncoded | QUrl::NormalizePathSegments);
}

QString singerNameOn(const QString &singerPage)
{
    const auto heading = textcut::after(singerPage, u"class=\"nickname\">");
    if (!heading)
        return QString();
    return download::withoutControls(textcut::before(*heading, u"<").toString()).trimmed();
}

QString FollowList::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/cantora-helper/following");
}

FollowList::FollowList(QString path)
    : m_path(std::move(path))
{}

FollowList::Line FollowList::parse(const QByteArray &raw)
{
    Line line;
    line.raw = raw;
    const QString trimmed = QString::fromUtf8(raw).trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
        return line;
    qsizetype end = 0;
    while (end < trimmed.size() && !trimmed.at(end).isSpace())
        ++end;
    const QString rest = trimmed.mid(end).trimmed();
    // Anything after the address other than a comment makes the line a stray.
    if (!rest.isEmpty() && !rest.startsWith(QLatin1Char('#')))
        return line;
    line.entry.address = followedAddress(trimmed.left(end));
    line.entry.name = rest.mid(1).trimmed();
    line.singer = !line.entry.address.isEmpty();
    return line;
}

QString FollowList::format(const FollowedSinger &singer)
{
    const QString name = download::withoutControls(singer.name).trimmed();
    return name.isEmpty() ? singer.address : singer.address + QStringLiteral("  # ") + name;
}

QString FollowList::load()
{
    m_lines.clear();
    m_changes.clear();
    QFile file(m_path);
    if (!file.exists())
        return QString();
    if (!QFileInfo(m_path).isFile() || !file.open(QIODevice::ReadOnly))
        return QStringLiteral("无法读取 %1").arg(QDir::toNativeSeparators(m_path));
    // Read as bytes: a note line goes back exactly as it came, whatever its encoding.
    QByteArray text = file.readAll();
    if (text.startsWith("\xef\xbb\xbf"))
        text.remove(0, 3);
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        Line line = parse(lines[i]);
        line.number = int(i + 1);
        // Another spelling of a singer already listed adds nothing but maybe a name.
        if (line.singer && contains(line.entry.address)) {
            nameIfUnnamed(line.entry.address, line.entry.name);
            continue;
        }
        m_lines.append(line);
    }
    m_changes.clear(); // what reading merged is no change to make again when saving
    return QString();
}

QString FollowList::save() const
{
    // Beside the list, which is replaced whole on every save and so cannot carry the lock itself.
    const download::FileLock lock(m_path + QStringLiteral(".lock"), download::FileLock::Wait::Yes);
    FollowList now(m_path);
    if (const QString problem = now.load(); !problem.isEmpty())
        return problem;
    for (const Change &change : m_changes)
        now.apply(change);
    return now.write();
}

void FollowList::apply(const Change &change)
{
    switch (change.kind) {
    case Change::Kind::Add:
        add(change.address, change.name);
        break;
    case Change::Kind::Remove:
        remove(change.address);
        break;
    case Change::Kind::Name:
        nameIfUnnamed(change.address, change.name);
        break;
    }
}

QString FollowList::write() const
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("无法写入 %1: %2").arg(QDir::toNativeSeparators(m_path), file.errorString());
    QByteArray text;
    for (const Line &line : m_lines)
        text += (line.singer ? format(line.entry).toUtf8() : line.raw) + '\n';
    file.write(text);
    if (!file.commit())
        return QStringLiteral("无法写入 %1: %2").arg(QDir::toNativeSeparators(m_path), file.errorString());
    return QString();
}

QList<FollowedSinger> FollowList::singers() const
{
    QList<FollowedSinger> all;
    for (const Line &line : m_lines) {
        if (line.singer)
            all.append(line.entry);
    }
    return all;
}

QList<StrayLine> FollowList::strayLines() const
{
    QList<StrayLine> stray;
    for (const Line &line : m_lines) {
        const QByteArray trimmed = line.raw.trimmed();
        if (!line.singer && !trimmed.isEmpty() && !trimmed.startsWith('#'))
            stray.append({line.number, QString::fromUtf8(line.raw)});
    }
    return stray;
}

bool FollowList::contains(const QString &address) const
{
    const QString wanted = followedAddress(address);
    for (const Line &line : m_lines) {
        if (line.singer && line.entry.address == wanted)
            return true;
    }
    return false;
}

bool FollowList::add(const QString &address, const QString &name)
{
    m_changes.append({Change::Kind::Add, address, name});
    if (contains(address)) {
        nameIfUnnamed(address, name);
        return false;
    }
    Line line;
    line.singer = true;
    line.entry = {followedAddress(address), name};
    if (line.entry.address.isEmpty())
        return false;
    m_lines.append(line);
    return true;
}

bool FollowList::remove(const QString &address)
{
    m_changes.append({Change::Kind::Remove, address, QString()});
    const QString wanted = followedAddress(address);
    const qsizetype before = m_lines.size();
    m_lines.removeIf([&wanted](const Line &line) { return line.singer && line.entry.address == wanted; });
    return m_lines.size() != before;
}

bool FollowList::nameIfUnnamed(const QString &address, const QString &name)
{
    m_changes.append({Change::Kind::Name, address, name});
    const QString wanted = followedAddress(address);
    bool named = false;
    for (Line &line : m_lines) {
        if (!name.isEmpty() && line.singer && line.entry.address == wanted && line.entry.name.isEmpty()) {
            line.entry.name = name;
            named = true;
        }
    }
    return named;
}

void rememberNames(const QList<FollowedSinger> &singers, const QString &path)
{
    FollowList list(path);
    if (!list.load().isEmpty())
        return;
    bool learnt = false;
    for (const FollowedSinger &singer : singers)
        learnt = list.nameIfUnnamed(singer.address, singer.name) || learnt;
    if (learnt)
        list.save();
}

} // namespace works
