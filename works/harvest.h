#pragma once

#include "page/pageslice.h"
#include "works/markerindex.h"

#include <QString>
#include <QStringMatcher>
#include <QStringView>

#include <array>
#include <optional>
#include <vector>

// Turning a singer's home page into rows of the works list. Pure text work,
// no widgets: the window keeps the slots and shows the rows.
namespace works {

// The window's harvest slots. Slot 0 holds the singer's page, 1 the text after
// the current work's id marker, 2 the work id, 3 the text after the work's full
// marker, 4 the title, 5 the play-address service's last answer; 6 to 10 are
// spare. A slot keeps its value until a step overwrites it, across harvests.
constexpr int kSlotCount = 11;
class HarvestSlots final
{
public:
    // The slot's text. A slot holding a stretch of a page gets a copy of its
    // own only here, once it is read as a text.
    QString &operator[](size_t slot) { return text(slot); }
    const QString &operator[](size_t slot) const { return text(slot); }
    // The slot's text without a copy; the page stays alive with the slice.
    PageSlice slice(size_t slot) const;
    void setSlice(size_t slot, const PageSlice &text);

    bool operator==(const HarvestSlots &other) const;
    bool operator!=(const HarvestSlots &other) const { return !(*this == other); }

private:
    QString &text(size_t slot) const;

    mutable std::array<QString, kSlotCount> m_texts;
    mutable std::array<std::optional<PageSlice>, kSlotCount> m_slices; // not copied yet
};

// A work entry is marked by this attribute; its double-quoted value is the id.
inline constexpr char16_t kMarker[] = u"data-id=";
// The marker count is a 16-bit counter that stops at its largest value.
constexpr qint16 kMaxMarkerCount = 32767;

// Where a harvest stands, each with the one text every front end shows.
enum class HarvestStatus {
    NoAddress,      // nothing was entered
    NotASingerPage, // the address is no singer's home page
    Fetching,       // the address will do; the page is on its way
    Done,           // the rows are in
    NoWorks,        // the page listed no works
    NoPage,         // no page came back at all
};

QString statusText(HarvestStatus status);

// NoAddress or NotASingerPage when `address`, less what pasting put around it
// (pastedAddress), cannot be a singer's home page (it must contain
// "userPage.php?uid="), else Fetching.
HarvestStatus checkSingerAddress(const QString &address);

struct WorkRow final
{
    int number = 0; // 1-based running number
    QString id;
    QString title; // as cut from the page, entities left alone
};

// How many times the marker occurs in the page, at most kMaxMarkerCount.
qint16 countMarkers(QStringView page);

// The page work of a harvest, done while the singer's page arrives (it is fed
// as PageFetcher's text watcher), so that neither the scan nor the list filler
// reads the whole page again afterwards.
class PageScan final
{
public:
    PageScan();
    // `text` is the page so far, grown at its end from `from` on.
    void feed(const QString &text, qsizetype from);
    // `page` is all of the text fed.
    void finish(const QString &page);
    // As countMarkers(page).
    qint16 markerCount() const { return m_count; }

private:
    friend std::vector<WorkRow> fillRows(HarvestSlots &, qint16, const PageScan &);

    QString m_page;
    bool m_finished = false;
    MarkerIndex m_index;
    QStringMatcher m_marker;
    qint16 m_count = 0;
    qsizetype m_countFrom = 0;
};

// Fills the list for a page of `markerCount` markers in slot 0: one row for
// each marker but the last, so markerCount - 1 rows. For row i, slot 1 becomes
// piece i of the page split at `data-id="` (kept when there is no such piece),
// slot 2 the text of slot 1 before its first double quote (empty without one),
// slot 3 the text after the first `data-id="<id>">` up to the next one or the
// end (kept when that marker does not occur) and slot 4 the text of slot 3
// before its first "<" (empty without one); the row takes slots 2 and 4. Slots
// 1 to 4 are left as the last row set them.
//
// Runs in time linear in the page and the rows it produces: the page is
// scanned once, not split again for each row.
std::vector<WorkRow> fillRows(HarvestSlots &table, qint16 markerCount);
// The same, with the page work `scan` did while slot 0 arrived; when `scan`
// was not fed slot 0 or counted otherwise, as above.
std::vector<WorkRow> fillRows(HarvestSlots &table, qint16 markerCount, const PageScan &scan);

} // namespace works
