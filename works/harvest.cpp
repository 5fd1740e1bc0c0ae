#include "works/harvest.h"

#include "page/webaddress.h"

#include <algorithm>
#include <optional>

namespace works {

namespace {

constexpr QChar kQuote = u'"';
constexpr int kMostRows = kMaxMarkerCount - 1;

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

QString &HarvestSlots::text(size_t slot) const
{
    if (m_slices[slot]) {
        m_texts[slot] = m_slices[slot]->toString();
        m_slices[slot].reset();
    }
    return m_texts[slot];
}

PageSlice HarvestSlots::slice(size_t slot) const
{
    return m_slices[slot] ? *m_slices[slot] : PageSlice(m_texts[slot]);
}

void HarvestSlots::setSlice(size_t slot, const PageSlice &text)
{
    m_texts[slot].clear();
    m_slices[slot] = text;
}

bool HarvestSlots::operator==(const HarvestSlots &other) const
{
    for (size_t slot = 0; slot < kSlotCount; ++slot) {
        if (this->slice(slot).view() != other.slice(slot).view())
            return false;
    }
    return true;
}

PageScan::PageScan()
    : m_index(kMostRows)
    , m_marker(QStringView(kMarker))
{}

void PageScan::feed(const QString &text, qsizetype)
{
    m_index.feed(text);
    const qsizetype markerLength = QStringView(kMarker).size();
    for (qsizetype at = m_marker.indexIn(text, m_countFrom); at >= 0 && m_count < kMaxMarkerCount;
         at = m_marker.indexIn(text, m_countFrom)) {
        ++m_count;
        m_countFrom = at + 1;
    }
    m_countFrom = std::max(m_countFrom, text.size() - (markerLength - 1));
}

void PageScan::finish(const QString &page)
{
    feed(page, 0);
    m_index.finish(page);
    m_page = page;
    m_finished = true;
}

namespace {

std::vector<WorkRow> fillFrom(HarvestSlots &table, int lastRow, const QString &page, const MarkerIndex &index)
{
    std::vector<WorkRow> rows;
    rows.reserve(lastRow);

    // Views below point into these; the slots are written only at the end.
    const PageSlice whole(page);
    const PageSlice oldPiece = table.slice(1);
    const PageSlice oldText = table.slice(3);

    QStringView piece = oldPiece.view(); // slot 1
    QStringView text = oldText.view();   // slot 3
    QString id;                          // slot 2
    QString title;                       // slot 4
    bool titleKnown = false;             // once true, title is always the title of text
    bool pieceChanged = true;
    int pieceMarker = -1; // the marker slot 1 follows; -1 while it holds an earlier text
    MarkerIndex::Entry entry;
    bool found = false;
    bool textChanged = false;
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
            textChanged = true;
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

    // Slots 1 and 3 are stretches of the page, kept without a copy.
    if (pieceMarker >= 0)
        table.setSlice(1, whole.sub(piece));
    table[2] = id;
    if (textChanged)
        table.setSlice(3, whole.sub(text));
    table[4] = title;
    return rows;
}

} // namespace

std::vector<WorkRow> fillRows(HarvestSlots &table, qint16 markerCount)
{
    const int lastRow = markerCount - 1;
    if (lastRow < 1)
        return {};
    const QString page = table[0];
    MarkerIndex index(lastRow);
    index.finish(page);
    return fillFrom(table, lastRow, page, index);
}

std::vector<WorkRow> fillRows(HarvestSlots &table, qint16 markerCount, const PageScan &scan)
{
    // The scan indexes for the most rows a list takes; for the count it made
    // that is exactly the index of the page's own row count.
    const QString &page = table[0];
    if (!scan.m_finished || markerCount != scan.m_count || page.constData() != scan.m_page.constData() ||
        page.size() != scan.m_page.size())
        return fillRows(table, markerCount);
    const int lastRow = markerCount - 1;
    if (lastRow < 1)
        return {};
    return fillFrom(table, lastRow, page, scan.m_index);
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
