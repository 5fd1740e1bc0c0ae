#include "works/harvest.h"

#include "page/webaddress.h"

#include <QHash>
#include <QStringMatcher>

#include <algorithm>

#include <optional>

namespace works {

namespace {

constexpr QChar kQuote = u'"';

// The page's `data-id="` markers that rows are cut from and, for every id a
// row can look up, where its first full marker `data-id="<id>">` occurs and
// where the next one does. Built in one pass over the page.
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
    MarkerIndex(QStringView page, int rows)
        : m_page(page)
    {
        // The matcher's skip table is built once, not on every search.
        const QStringMatcher open(u"data-id=\"");
        const qsizetype indexed = qsizetype(rows) + 1;
        // One marker past the indexed ones tells where the last of them ends.
        for (qsizetype at = open.indexIn(m_page); at >= 0 && qsizetype(m_at.size()) <= indexed;
             at = open.indexIn(m_page, at + kOpenLength))
            m_at.push_back(at);

        const int count = int(std::min(qsizetype(m_at.size()), indexed));
        m_firstOf.assign(count, -1);
        int j = 0;
        for (; j < count; ++j) {
            const std::optional<Full> full = fullAt(m_at[j], j + 1 < markerCount() ? m_at[j + 1] : -1);
            if (!full)
                continue;
            if (full->unclosed)
                return; // no later marker can be closed either
            m_firstOf[j] = note(full->id, m_at[j], full->textStart, true);
        }
        if (markerCount() <= count)
            return;

        // Past the indexed markers: only ids known already or asked for. An
        // id asked for but not seen yet waits in m_ids without an entry.
        for (int i = 1; i < count; ++i) {
            const QStringView id = beforeQuote(piece(i));
            if (m_firstOf[i - 1] < 0 && !m_ids.contains(id))
                m_ids.insert(id, kAsked);
        }
        for (qsizetype at = m_at.back(); at >= 0;) {
            const qsizetype next = open.indexIn(m_page, at + kOpenLength);
            const std::optional<Full> full = fullAt(at, next);
            if (full && full->unclosed)
                break;
            if (full && m_ids.contains(full->id))
                note(full->id, at, full->textStart, true);
            at = next;
        }
        m_ids.removeIf([](const auto &id) { return id.value() == kAsked; });
    }

    int markerCount() const { return int(m_at.size()); }
    int entryCount() const { return int(m_entries.size()); }

    // Piece i (1-based, i < markerCount() or the page's last) of the page split
    // at the id marker.
    QStringView piece(int i) const
    {
        const qsizetype start = m_at[i - 1] + kOpenLength;
        const qsizetype end = i < markerCount() ? m_at[i] : m_page.size();
        return m_page.mid(start, end - start);
    }

    struct Entry
    {
        int first = -1;   // tells the ids apart: the same for every full marker of one id
        QStringView text; // after the first full marker, up to the next or the end
        QStringView title;
    };

    // For the id of piece `marker + 1`: false when its full marker does not
    // occur. Answered without a lookup when that piece's own marker is full.
    bool lookUpPieceId(int marker, QStringView id, Entry &entry) const
    {
        if (marker < int(m_firstOf.size()) && m_firstOf[marker] >= 0) {
            entry = entryAt(m_firstOf[marker]);
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
        entry = entryAt(*found);
        return true;
    }

private:
    struct Full
    {
        QStringView id;
        qsizetype textStart = 0;
        bool unclosed = false; // no quote after the marker at all
    };

    // The full marker at the id marker `at`, if it is one; `next` is the next
    // id marker, -1 when none.
    std::optional<Full> fullAt(qsizetype at, qsizetype next) const
    {
        const qsizetype idStart = at + kOpenLength;
        const qsizetype quote = m_page.indexOf(kQuote, idStart);
        if (quote < 0)
            return Full{{}, 0, true};
        // An id running on into the next marker would end in `data-id=`;
        // no id looked up ever does (it would hold that marker itself).
        if (next >= 0 && quote > next)
            return std::nullopt;
        if (quote + 1 >= m_page.size() || m_page[quote + 1] != u'>')
            return std::nullopt;
        return Full{m_page.mid(idStart, quote - idStart), quote + 2, false};
    }

    // Notes a full marker of `id` at `at`: the first one of its id starts an
    // entry (when `mayStart`), the second ends that entry's text. Returns the
    // entry, -1 when none.
    int note(QStringView id, qsizetype at, qsizetype textStart, bool mayStart)
    {
        const auto known = m_ids.constFind(id);
        if (known != m_ids.cend() && *known != kAsked) {
            Stretch &entry = m_entries[*known];
            if (entry.textEnd < 0)
                entry.textEnd = at;
            return *known;
        }
        if (!mayStart)
            return -1;
        // Its title ends at the next "<"; the last one found is reused while it lies ahead.
        if (!m_noMoreLessThan && m_lessThan < textStart) {
            m_lessThan = m_page.indexOf(u'<', textStart);
            m_noMoreLessThan = m_lessThan < 0;
        }
        m_entries.push_back({textStart, -1, m_noMoreLessThan ? -1 : m_lessThan});
        m_ids.insert(id, int(m_entries.size()) - 1); // also ends the wait of an asked id
        return int(m_entries.size()) - 1;
    }

    Entry entryAt(int index) const
    {
        const Stretch &stretch = m_entries[index];
        Entry entry;
        entry.first = index;
        // Two full markers of one id never overlap: the id would have to end
        // in `data-id=`.
        const qsizetype textEnd = stretch.textEnd >= 0 ? stretch.textEnd : m_page.size();
        entry.text = m_page.mid(stretch.textStart, textEnd - stretch.textStart);
        entry.title = stretch.lessThan >= 0 && stretch.lessThan < textEnd
                          ? m_page.mid(stretch.textStart, stretch.lessThan - stretch.textStart)
                          : QStringView();
        return entry;
    }

    static QStringView beforeQuote(QStringView text)
    {
        const qsizetype at = text.indexOf(kQuote);
        return at < 0 ? QStringView() : text.left(at);
    }

    // One id's first full marker: where the text after it starts and ends
    // (-1: the end of the page), and the first "<" in it (-1: none after it).
    struct Stretch
    {
        qsizetype textStart;
        qsizetype textEnd;
        qsizetype lessThan;
    };

    static constexpr int kAsked = -1;

    QStringView m_page;
    std::vector<qsizetype> m_at; // start of the indexed `data-id="`, in page order, and one more
    std::vector<int> m_firstOf;  // for an indexed full marker: its id's entry; else -1
    std::vector<Stretch> m_entries;
    QHash<QStringView, int> m_ids; // id -> its entry
    qsizetype m_lessThan = -1;
    bool m_noMoreLessThan = false;
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
    const MarkerIndex index(page, lastRow);

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
    std::vector<std::optional<QString>> titles(index.entryCount());

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

HarvestStatus checkSingerAddress(const QString &typed)
{
    const QString address = pastedAddress(typed);
    if (address.isEmpty())
        return HarvestStatus::NoAddress;
    if (!address.contains(QStringLiteral("userPage.php?uid="), Qt::CaseSensitive))
        return HarvestStatus::NotASingerPage;
    return HarvestStatus::Fetching;
}

} // namespace works
