#pragma once

#include <QHash>
#include <QString>
#include <QStringMatcher>
#include <QStringView>

#include <vector>

namespace works {

// The page's `data-id="` markers that rows are cut from and, for every id a
// row can look up, where its first full marker `data-id="<id>">` occurs and
// where the next one does. Built in one pass over the page, which may be fed
// while it arrives: everything kept is an offset, never a view, so the text
// may move as it grows.
//
// Ids never contain a double quote (an id is the text before one), so a full
// marker can only start where an id marker does, and at marker j it matches
// exactly the id that runs from the marker to the next quote, when ">" follows
// that quote. One entry per distinct id is therefore enough to answer "where
// is the first full marker of this id, and where the next one".
//
// Only the markers the rows are cut from are indexed in full. Past them (a
// page may hold far more works than the list takes) the pass only notes full
// markers of ids already known or asked for by a row, so a huge page costs
// one quick scan, not an entry per work.
class MarkerIndex final
{
public:
    static constexpr qsizetype kOpenLength = 9; // data-id="

    // Enough for pieces 1 to `rows`.
    explicit MarkerIndex(int rows);

    // `text` is the page so far; it only ever grows at its end.
    void feed(QStringView text);
    // The whole page, after the last feed (or instead of any).
    void finish(QStringView page);

    // The rest after finish() only, on the page given to it.
    int markerCount() const { return int(m_at.size()); }
    int entryCount() const { return int(m_entries.size()); }

    // Piece i (1-based, i < markerCount() or the page's last) of the page split
    // at the id marker.
    QStringView piece(int i) const;

    struct Entry
    {
        int first = -1;   // tells the ids apart: the same for every full marker of one id
        QStringView text; // after the first full marker, up to the next or the end
        QStringView title;
    };

    // For the id of piece `marker + 1`: false when its full marker does not
    // occur. Answered without a lookup when that piece's own marker is full.
    bool lookUpPieceId(int marker, QStringView id, Entry &entry) const;
    // False when the id's full marker does not occur.
    bool lookUp(QStringView id, Entry &entry) const;

private:
    struct Full
    {
        qsizetype idStart = 0;
        qsizetype idLength = 0;
        qsizetype textStart = 0;
    };
    // One id's first full marker: where the text after it starts and ends
    // (-1: the end of the page), and the first "<" in it (-1: none after it).
    struct Stretch
    {
        qsizetype textStart;
        qsizetype textEnd;
        qsizetype lessThan;
    };
    // An id known to the index, as an offset into the page; `entry` is -1
    // while a row has asked for it and its full marker has not been seen.
    struct Id
    {
        qsizetype start;
        qsizetype length;
        int entry;
    };

    void foundMarker(qsizetype at);
    void endMarker(qsizetype at, qsizetype next);
    void askForRowIds();
    bool fullAt(qsizetype at, qsizetype next, Full &full) const;
    int note(const Full &full, qsizetype at);
    int findId(QStringView id) const;
    Entry entryAt(int index) const;

    const QStringMatcher m_open{u"data-id=\""};
    QStringView m_page;
    qsizetype m_indexed;        // markers indexed in full
    qsizetype m_searchFrom = 0; // where the next marker may start
    qsizetype m_rest = -1;      // the last marker found past the indexed ones, not ended yet
    bool m_finished = false;
    std::vector<qsizetype> m_at; // start of the indexed `data-id="`, in page order, and one more
    std::vector<int> m_firstOf;  // for an ended indexed marker that is full: its id's entry; else -1
    std::vector<Stretch> m_entries;
    std::vector<Id> m_ids;
    QMultiHash<size_t, int> m_idsByHash; // the id's text hashed -> m_ids
};

} // namespace works
