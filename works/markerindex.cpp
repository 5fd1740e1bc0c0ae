#include "works/markerindex.h"

#include <algorithm>

namespace works {

namespace {

constexpr QChar kQuote = u'"';

} // namespace

MarkerIndex::MarkerIndex(int rows)
    : m_indexed(qsizetype(rows) + 1)
{}

void MarkerIndex::feed(QStringView text)
{
    m_page = text;
    for (qsizetype at = m_open.indexIn(text, m_searchFrom); at >= 0; at = m_open.indexIn(text, m_searchFrom)) {
        m_searchFrom = at + kOpenLength;
        foundMarker(at);
    }
    // A marker that starts in the last few characters may still be cut short.
    m_searchFrom = std::max(m_searchFrom, text.size() - (kOpenLength - 1));
}

void MarkerIndex::finish(QStringView page)
{
    feed(page);
    m_finished = true;
    if (m_rest >= 0)
        endMarker(m_rest, -1);
    else if (!m_at.empty())
        endMarker(m_at.back(), -1);

    // Each title ends at the first "<" after its text starts; entries come in
    // page order, so the last one found is reused while it lies ahead.
    qsizetype lessThan = -1;
    bool noMoreLessThan = false;
    for (Stretch &entry : m_entries) {
        if (!noMoreLessThan && lessThan < entry.textStart) {
            lessThan = m_page.indexOf(u'<', entry.textStart);
            noMoreLessThan = lessThan < 0;
        }
        entry.lessThan = noMoreLessThan ? -1 : lessThan;
    }
}

void MarkerIndex::foundMarker(qsizetype at)
{
    if (qsizetype(m_at.size()) > m_indexed) {
        // Past the indexed markers: only ids known already or asked for.
        endMarker(m_rest, at);
        m_rest = at;
        return;
    }
    if (!m_at.empty())
        endMarker(m_at.back(), at);
    m_at.push_back(at);
    // One marker past the indexed ones tells where the last of them ends.
    if (qsizetype(m_at.size()) > m_indexed) {
        askForRowIds();
        m_rest = at;
    }
}

// `at` is a marker whose follower is now known (`next`, -1: none).
void MarkerIndex::endMarker(qsizetype at, qsizetype next)
{
    Full full;
    const bool isFull = fullAt(at, next, full);
    if (at == m_rest) {
        if (isFull && findId(m_page.mid(full.idStart, full.idLength)) >= 0)
            note(full, at);
        return;
    }
    // An indexed marker: they end in order.
    m_firstOf.push_back(isFull ? note(full, at) : -1);
}

// The rows' ids whose own marker is not full wait for a full marker further on.
void MarkerIndex::askForRowIds()
{
    for (qsizetype i = 1; i < m_indexed; ++i) {
        if (m_firstOf[i - 1] >= 0)
            continue;
        const QStringView rowPiece = piece(int(i));
        const qsizetype quote = rowPiece.indexOf(kQuote);
        const qsizetype start = m_at[i - 1] + kOpenLength;
        const qsizetype length = quote < 0 ? 0 : quote;
        if (findId(m_page.mid(start, length)) >= 0)
            continue;
        m_ids.push_back({start, length, -1});
        m_idsByHash.insert(qHash(m_page.mid(start, length)), int(m_ids.size()) - 1);
    }
}

// The full marker at the id marker `at`, if it is one; `next` is the next id
// marker, -1 when none. A quote only past `next` would make an id that runs
// on into the next marker and ends in `data-id=`; no id looked up ever does.
bool MarkerIndex::fullAt(qsizetype at, qsizetype next, Full &full) const
{
    const qsizetype idStart = at + kOpenLength;
    const QStringView searched = next >= 0 ? m_page.first(next) : m_page;
    const qsizetype quote = searched.indexOf(kQuote, idStart);
    if (quote < 0 || quote + 1 >= m_page.size() || m_page[quote + 1] != u'>')
        return false;
    full = {idStart, quote - idStart, quote + 2};
    return true;
}

// Notes a full marker at `at`: the first one of its id starts an entry, the
// second ends that entry's text. Returns the entry.
int MarkerIndex::note(const Full &full, qsizetype at)
{
    const QStringView id = m_page.mid(full.idStart, full.idLength);
    const int known = findId(id);
    if (known >= 0 && m_ids[known].entry >= 0) {
        Stretch &entry = m_entries[m_ids[known].entry];
        if (entry.textEnd < 0)
            entry.textEnd = at;
        return m_ids[known].entry;
    }
    m_entries.push_back({full.textStart, -1, -1});
    const int entry = int(m_entries.size()) - 1;
    if (known >= 0) {
        m_ids[known].entry = entry; // ends the wait of an asked id
    } else {
        m_ids.push_back({full.idStart, full.idLength, entry});
        m_idsByHash.insert(qHash(id), int(m_ids.size()) - 1);
    }
    return entry;
}

int MarkerIndex::findId(QStringView id) const
{
    const size_t hash = qHash(id);
    for (auto it = m_idsByHash.constFind(hash); it != m_idsByHash.cend() && it.key() == hash; ++it) {
        const Id &known = m_ids[*it];
        if (m_page.mid(known.start, known.length) == id)
            return *it;
    }
    return -1;
}

QStringView MarkerIndex::piece(int i) const
{
    const qsizetype start = m_at[i - 1] + kOpenLength;
    const qsizetype end = i < markerCount() ? m_at[i] : m_page.size();
    return m_page.mid(start, end - start);
}

bool MarkerIndex::lookUpPieceId(int marker, QStringView id, Entry &entry) const
{
    if (marker < int(m_firstOf.size()) && m_firstOf[marker] >= 0) {
        entry = entryAt(m_firstOf[marker]);
        return true;
    }
    return lookUp(id, entry);
}

bool MarkerIndex::lookUp(QStringView id, Entry &entry) const
{
    const int known = findId(id);
    if (known < 0 || m_ids[known].entry < 0)
        return false;
    entry = entryAt(m_ids[known].entry);
    return true;
}

MarkerIndex::Entry MarkerIndex::entryAt(int index) const
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

} // namespace works
