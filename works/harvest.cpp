#include "works/harvest.h"

#include <QHash>

namespace works {

namespace {

constexpr QChar kQuote = u'"';

// The page's `data-id="` markers and, for every distinct id, where its full
// marker `data-id="<id>">` occurs. Built in one pass over the page.
//
// Ids never contain a double quote (an id is the text before one), so a full
// marker can only start where an id marker does, and at marker j it matches
// exactly the id that runs from the marker to the next quote, when ">" follows
// that quote. That makes one hash entry per marker enough to answer "where is
// the first full marker of this id, and where the next one after it".
class MarkerIndex final
{
public:
    static constexpr qsizetype kOpenLength = 9; // data-id="

    explicit MarkerIndex(QStringView page)
        : m_page(page)
    {
        const QStringView open = u"data-id=\"";
        for (qsizetype at = m_page.indexOf(open); at >= 0; at = m_page.indexOf(open, at + kOpenLength))
            m_at.push_back(at);

        const int count = int(m_at.size());
        m_nextSame.assign(count, -1);
        m_lessThan.assign(count, -1);
        qsizetype lessThan = -1; // the last "<" found, reused while it lies ahead
        bool noMoreLessThan = false;
        for (int j = 0; j < count; ++j) {
            const qsizetype idStart = m_at[j] + kOpenLength;
            const qsizetype quote = m_page.indexOf(kQuote, idStart);
            if (quote < 0)
                break; // no later marker can be closed either
            if (quote + 1 >= m_page.size() || m_page[quote + 1] != u'>')
                continue;
            // Text after this full marker begins here; its title ends at the next "<".
            const qsizetype textStart = quote + 2;
            if (!noMoreLessThan && lessThan < textStart) {
                lessThan = m_page.indexOf(u'<', textStart);
                noMoreLessThan = lessThan < 0;
            }
            m_lessThan[j] = noMoreLessThan ? -1 : lessThan;

            const QStringView id = m_page.mid(idStart, quote - idStart);
            auto found = m_ids.find(id);
            if (found == m_ids.end()) {
                m_ids.insert(id, Chain{j, j});
            } else {
                m_nextSame[found->last] = j;
                found->last = j;
            }
        }
    }

    int markerCount() const { return int(m_at.size()); }

    // Piece i (1-based, i <= markerCount()) of the page split at the id marker.
    QStringView piece(int i) const
    {
        const qsizetype start = m_at[i - 1] + kOpenLength;
        const qsizetype end = i < markerCount() ? m_at[i] : m_page.size();
        return m_page.mid(start, end - start);
    }

    struct Entry
    {
        int first = -1;   // the marker where the id's first full marker starts
        QStringView text; // after the first full marker, up to the next or the end
        QStringView title;
    };

    // False when the id's full marker does not occur.
    bool lookUp(QStringView id, Entry &entry) const
    {
        const auto found = m_ids.constFind(id);
        if (found == m_ids.cend())
            return false;
        const int first = found->first;
        const qsizetype textStart = m_at[first] + kOpenLength + id.size() + 2;
        // Two full markers of one id could only overlap if the id ended in
        // `data-id=`; an id looked up here is the text before the first quote
        // of a piece, which holds no `data-id="`, so it never does.
        const int second = m_nextSame[first];
        const qsizetype textEnd = second >= 0 ? m_at[second] : m_page.size();
        entry.first = first;
        entry.text = m_page.mid(textStart, textEnd - textStart);
        const qsizetype lessThan = m_lessThan[first];
        entry.title = lessThan >= 0 && lessThan < textEnd ? m_page.mid(textStart, lessThan - textStart) : QStringView();
        return true;
    }

private:
    struct Chain
    {
        int first;
        int last;
    };

    QStringView m_page;
    std::vector<qsizetype> m_at;       // start of every `data-id="`, in page order
    std::vector<int> m_nextSame;       // next marker whose full marker has the same id
    std::vector<qsizetype> m_lessThan; // first "<" after marker j's full marker, -1 when none
    QHash<QStringView, Chain> m_ids;
};

QStringView beforeFirst(QStringView text, QChar c)
{
    const qsizetype at = text.indexOf(c);
    return at < 0 ? QStringView() : text.left(at);
}

} // namespace

qint16 countMarkers(QStringView page)
{
    const QStringView marker(kMarker);
    qint16 count = 0;
    for (qsizetype at = page.indexOf(marker); at >= 0 && count < kMaxMarkerCount; at = page.indexOf(marker, at + 1))
        ++count;
    return count;
}

std::vector<WorkRow> fillRows(HarvestSlots &table, qint16 markerCount)
{
    std::vector<WorkRow> rows;
    const int lastRow = markerCount - 1;
    if (lastRow < 1)
        return rows;
    rows.reserve(lastRow);

    // Views below point into these; the slots are written only at the end.
    const QString page = table[0];
    const QString oldPiece = table[1];
    const QString oldText = table[3];
    const MarkerIndex index(page);

    QStringView piece = oldPiece; // slot 1
    QStringView text = oldText;   // slot 3
    QString id;                   // slot 2
    QString title;                // slot 4
    bool titleKnown = false;      // once true, title is always the title of text
    bool pieceChanged = true;
    MarkerIndex::Entry entry;
    bool found = false;
    // One copy of each title, shared by every row of that id.
    QHash<int, QString> titles;

    for (int i = 1; i <= lastRow; ++i) {
        if (i <= index.markerCount()) {
            piece = index.piece(i);
            pieceChanged = true;
        }
        if (pieceChanged) {
            // Once the pieces run out slot 1 stays, and so does everything
            // derived from it: the lookup is done once.
            const QStringView idView = beforeFirst(piece, kQuote);
            id = idView.toString();
            found = index.lookUp(idView, entry);
            pieceChanged = false;
        }
        if (found) {
            text = entry.text;
            auto cached = titles.find(entry.first);
            if (cached == titles.end())
                cached = titles.insert(entry.first, entry.title.toString());
            title = *cached;
            titleKnown = true;
        } else if (!titleKnown) {
            title = beforeFirst(text, u'<').toString();
            titleKnown = true;
        }
        rows.push_back({i, id, title});
    }

    table[1] = piece.toString();
    table[2] = id;
    table[3] = text.toString();
    table[4] = title;
    return rows;
}

} // namespace works
