#include "works/harvest.h"

#include <QHash>

#include <optional>

namespace works {

namespace {

constexpr QChar kQuote = u'"';

// The page's `data-id="` markers and, for every distinct id, where its full
// marker `data-id="<id>">` occurs. Built in one pass over the page.
//
// Ids never contain a double quote (an id is the text before one), so a full
// marker can only start where an id marker does, and at marker j it matches
// exactly the id that runs from the marker to the next quote, when ">" follows
// that quote. One hash entry per distinct id is therefore enough to answer
// "where is the first full marker of this id, and where the next one".
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

        const int count = markerCount();
        m_ids.reserve(count);
        m_firstOf.assign(count, -1);
        m_second.assign(count, -1);
        m_lessThan.assign(count, -1);
        qsizetype lessThan = -1; // the last "<" found, reused while it lies ahead
        bool noMoreLessThan = false;
        for (int j = 0; j < count; ++j) {
            const qsizetype idStart = m_at[j] + kOpenLength;
            const qsizetype quote = m_page.indexOf(kQuote, idStart);
            if (quote < 0)
                break; // no later marker can be closed either
            // An id running on into the next marker would end in `data-id=`;
            // no id looked up ever does (it would hold that marker itself).
            if (j + 1 < count && quote > m_at[j + 1])
                continue;
            if (quote + 1 >= m_page.size() || m_page[quote + 1] != u'>')
                continue;
            // Text after this full marker begins here; its title ends at the next "<".
            const qsizetype textStart = quote + 2;
            if (!noMoreLessThan && lessThan < textStart) {
                lessThan = m_page.indexOf(u'<', textStart);
                noMoreLessThan = lessThan < 0;
            }
            m_lessThan[j] = noMoreLessThan ? -1 : lessThan;

            int &known = m_ids[m_page.mid(idStart, quote - idStart)];
            if (known == 0)
                known = j + 1;
            const int first = known - 1;
            m_firstOf[j] = first;
            if (first != j && m_second[first] < 0)
                m_second[first] = j;
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

    // For the id of piece `marker + 1`: false when its full marker does not
    // occur. Answered without a lookup when that piece's own marker is full.
    bool lookUpPieceId(int marker, QStringView id, Entry &entry) const
    {
        if (m_firstOf[marker] >= 0) {
            entry = entryAt(m_firstOf[marker], id.size());
            return true;
        }
        return lookUp(id, entry);
    }

    // False when the id's full marker does not occur.
    bool lookUp(QStringView id, Entry &entry) const
    {
        const auto found = m_ids.constFind(id);
        if (found == m_ids.cend())
            return false;
        entry = entryAt(*found - 1, id.size());
        return true;
    }

private:
    Entry entryAt(int first, qsizetype idLength) const
    {
        Entry entry;
        entry.first = first;
        const qsizetype textStart = m_at[first] + kOpenLength + idLength + 2;
        // Two full markers of one id never overlap: the id would have to end
        // in `data-id=`.
        const int second = m_second[first];
        const qsizetype textEnd = second >= 0 ? m_at[second] : m_page.size();
        entry.text = m_page.mid(textStart, textEnd - textStart);
        const qsizetype lessThan = m_lessThan[first];
        entry.title = lessThan >= 0 && lessThan < textEnd ? m_page.mid(textStart, lessThan - textStart) : QStringView();
        return entry;
    }

    QStringView m_page;
    std::vector<qsizetype> m_at;       // start of every `data-id="`, in page order
    std::vector<int> m_firstOf;        // for a full marker: the first full marker of its id; else -1
    std::vector<int> m_second;         // for a first full marker: the next one of its id; else -1
    std::vector<qsizetype> m_lessThan; // first "<" after full marker j, -1 when none
    QHash<QStringView, int> m_ids;     // id -> 1 + its first full marker
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
    int pieceMarker = -1; // the marker slot 1 follows; -1 while it holds an earlier text
    MarkerIndex::Entry entry;
    bool found = false;
    // One copy of each title, shared by every row of that id; by first marker.
    std::vector<std::optional<QString>> titles(index.markerCount());

    for (int i = 1; i <= lastRow; ++i) {
        if (i <= index.markerCount()) {
            piece = index.piece(i);
            pieceMarker = i - 1;
            pieceChanged = true;
        }
        if (pieceChanged) {
            // Once the pieces run out slot 1 stays, and so does everything
            // derived from it: the lookup is done once.
            const QStringView idView = beforeFirst(piece, kQuote);
            id = idView.toString();
            found = pieceMarker >= 0 ? index.lookUpPieceId(pieceMarker, idView, entry) : index.lookUp(idView, entry);
            pieceChanged = false;
        }
        if (found) {
            text = entry.text;
            std::optional<QString> &cached = titles[entry.first];
            if (!cached)
                cached = entry.title.toString();
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

QString statusText(HarvestStatus status)
{
    switch (status) {
    case HarvestStatus::NoAddress:
        return QStringLiteral("请输入歌手主页地址 ..");
    case HarvestStatus::NotASingerPage:
        return QStringLiteral("地址错误,请您检查 ..");
    case HarvestStatus::Fetching:
        return QStringLiteral("正在进行获取..");
    case HarvestStatus::Done:
        return QStringLiteral("获取完毕..");
    case HarvestStatus::NoWorks:
        return QStringLiteral("当前歌手没有音乐作品或未开通Cantora会员无法获取");
    case HarvestStatus::NoPage:
        return QStringLiteral("未能获取歌手主页,请稍后再试 ..");
    }
    return QString();
}

HarvestStatus checkSingerAddress(const QString &address)
{
    if (address.isEmpty())
        return HarvestStatus::NoAddress;
    if (!address.contains(QStringLiteral("userPage.php?uid="), Qt::CaseSensitive))
        return HarvestStatus::NotASingerPage;
    return HarvestStatus::Fetching;
}

} // namespace works
