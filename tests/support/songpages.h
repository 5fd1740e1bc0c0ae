#pragma once

#include "site/httpserver.h"

#include <QByteArray>
#include <QHash>
#include <QString>

// Song pages in the site's shape, for tests that need a work looked up.
struct SongPage final
{
    QString title = QStringLiteral("晴天");
    QString singer = QStringLiteral("林小夏");
    QString fans = QStringLiteral("12873");
    QString description = QStringLiteral("每周五晚更新");
    QString plays = QStringLiteral("35812");
    QString gifts = QStringLiteral("1208");
    QString shares = QStringLiteral("96");
    QString comments = QStringLiteral("342");
    QString avatarPath = QStringLiteral("/img/avatar/1001.gif"); // on the test server
    QString audioPath = QStringLiteral("/userdata/userwork/a109/5200109.mp3");
    QString videoQuery; // after the player prefix; empty: no video

    // The page as the site at `base` would serve it.
    QByteArray html(const QString &base) const;
};

// A 90x90 picture of one colour in a format Qt can write ("JPEG", "PNG", "BMP").
QByteArray samplePicture(const char *format, Qt::GlobalColor colour = Qt::magenta);

// A file of the replica site, e.g. "img/avatar/1002.gif" (Qt writes no GIF).
QByteArray replicaFile(const QString &path);

// A small site: song pages under /s/, pictures, and whatever else is added.
// Unknown paths answer 404. Thread-safe to read from the server thread once
// the handler is installed; fill it before installing.
class SongSite final
{
public:
    void page(const QString &code, const SongPage &page) { m_pages.insert(code, page); }
    void file(const QString &path, const QByteArray &body, const QByteArray &type)
    {
        m_files.insert(path, {body, type});
    }
    // The handler for `server`, whose base the pages name.
    HttpHandler handler(const QString &base) const;

private:
    QHash<QString, SongPage> m_pages;
    QHash<QString, QPair<QByteArray, QByteArray>> m_files;
};
