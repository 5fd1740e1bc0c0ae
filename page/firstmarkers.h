#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

// Where each of a few markers first occurs in a page, found while the page
// arrives (fed as PageFetcher's text watcher), so that cutting the page
// afterwards does not search all of it again for each marker.
class FirstMarkers final
{
public:
    explicit FirstMarkers(QStringList markers);

    // `text` is the page so far, grown at its end from `from` on.
    void feed(const QString &text, qsizetype from);

    // Where `marker` first occurs in `page`, -1 when nowhere, as
    // page.indexOf(marker) says; looked up when `page` is all the text fed
    // and `marker` one of those watched for, else searched for now.
    qsizetype firstIn(QStringView page, QStringView marker) const;

private:
    QStringList m_markers;
    std::vector<qsizetype> m_at; // -1 while not seen
    qsizetype m_fed = 0;
};
