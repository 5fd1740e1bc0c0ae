#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <vector>

// Turning a singer's home page into rows of the works list. Pure text work,
// no widgets: the window keeps the slots and shows the rows.
namespace works {

// The window's harvest slots. Slot 0 holds the singer's page, 1 the text after
// the current work's id marker, 2 the work id, 3 the text after the work's full
// marker, 4 the title, 5 the play-address service's last answer; 6 to 10 are
// spare. A slot keeps its value until a step overwrites it, across harvests.
constexpr int kSlotCount = 11;
using HarvestSlots = std::array<QString, kSlotCount>;

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

} // namespace works
