#include "app/workspanel.h"

#include "app/busycursor.h"
#include "app/controls.h"
#include "app/form1ui.h"
#include "app/services.h"
#include "app/songpanel.h"
#include "page/pagefetcher.h"
#include "page/webaddress.h"
#include "player/mciinterpreter.h"
#include "works/csvexport.h"

#include <QDir>
#include <QEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

namespace {

// Column of the works list that holds the work id, and the one that holds the
// (hidden) play-address service address.
constexpr int kIdColumn = 1;
constexpr int kAddressColumn = 3;

class DoubleClickWatch final : public QObject
{
public:
    DoubleClickWatch(QWidget *watched, std::function<void()> onDoubleClick)
        : QObject(watched)
        , m_onDoubleClick(std::move(onDoubleClick))
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonDblClick &&
            static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            m_onDoubleClick();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_onDoubleClick;
};

// A row shows each value as a label would (see shownPart); a value cut for
// showing is kept whole beside it, for whatever reads the row back.
QTreeWidgetItem *newRow(const QStringList &values)
{
    QStringList shown;
    shown.reserve(values.size());
    for (const QString &value : values)
        shown.append(shownPart(value));
    auto *row = new QTreeWidgetItem(shown);
    for (int column = 0; column < values.size(); ++column) {
        if (shown[column].size() != values[column].size())
            row->setData(column, Qt::UserRole, values[column]);
    }
    return row;
}

QString cellValue(const QTreeWidgetItem *row, int column)
{
    const QVariant whole = row->data(column, Qt::UserRole);
    return whole.isValid() ? whole.toString() : row->text(column);
}

QTreeWidgetItem *selectedRow(const QTreeWidget *list)
{
    const QList<QTreeWidgetItem *> selected = list->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

} // namespace

QList<QStringList> listedWorks(const QTreeWidget *list, bool selectedOnly)
{
    QList<QStringList> rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = list->topLevelItem(i);
        if (selectedOnly && !item->isSelected())
            continue;
        QStringList values;
        for (int column = 0; column <= kAddressColumn; ++column)
            values.append(cellValue(item, column));
        rows.append(values);
    }
    return rows;
}

void watchDoubleClicks(QWidget *watched, std::function<void()> onDoubleClick)
{
    new DoubleClickWatch(watched, std::move(onDoubleClick));
}

WorksPanel::WorksPanel(const Form1Ui &ui, StatusLine &status, const WindowLife &life, PageFetcher &fetcher,
                       MessageBoxService &messageBox, SaveDialogService &saveDialog, MciService &mci,
                       const AppConfig &config, const FilePlaces &places, SongRecord &song, SongPanel &songPanel,
                       QWidget *window)
    : Handlers(status, life, window)
    , Text1(ui.Text1)
    , Text2(ui.Text2)
    , Command7(ui.Command7)
    , Command10(ui.Command10)
    , ListView1(ui.ListView1)
    , Timer3(ui.Timer3)
    , Timer4(ui.Timer4)
    , m_fetcher(fetcher)
    , m_messageBox(messageBox)
    , m_saveDialog(saveDialog)
    , m_mci(mci)
    , m_config(config)
    , m_places(places)
    , m_song(song)
    , m_songPanel(songPanel)
    , m_window(window)
{
    // Each timer acts once per harvest; the scan arms them again.
    Timer3->setSingleShot(true);
    Timer4->setSingleShot(true);
}

void WorksPanel::Command10_Click()
{
    // As with the song page: what pasting put around the address is dropped,
    // in the box too.
    const QString address = pastedAddress(Text2->text());
    if (address != Text2->text())
        Text2->setText(address);
    const works::HarvestStatus check = works::checkSingerAddress(address);
    if (check != works::HarvestStatus::Fetching) {
        setStatus(works::statusText(check));
        return;
    }

    Command10->setEnabled(false);
    Text2->setEnabled(false);
    setStatus(works::statusText(works::HarvestStatus::Fetching));

    // What the scan and the list filler need is worked out while the page arrives.
    auto scan = std::make_shared<works::PageScan>();
    m_fetcher.get(
        address, this,
        [this, scan, busy = std::make_shared<BusyCursor>()](const FetchResult &page) mutable {
            busy.reset();
            if (!windowGone())
                harvested(page, scan);
        },
        [scan](const QString &text, qsizetype from) { scan->feed(text, from); });
}

void WorksPanel::harvested(const FetchResult &page, const std::shared_ptr<works::PageScan> &scan)
{
    // An error page is still a page: it simply lists no works.
    if (!page.arrived()) {
        // No page at all: the earlier page stays in its slot and the list
        // keeps its rows.
        endHarvestWithoutPage(page.cause());
        return;
    }
    m_harvestSlots[0] = page.text;
    scan->finish(page.text);
    m_pageScan = scan;

    m_markerCount = 0;
    ListView1->clear();

    if (m_harvestSlots[0].isEmpty()) {
        endHarvestWithoutPage({});
        return;
    }
    hx();
}

void WorksPanel::endHarvestWithoutPage(const QString &cause)
{
    Command10->setEnabled(true);
    Text2->setEnabled(true);
    const QString message = works::statusText(works::HarvestStatus::NoPage);
    if (cause.isEmpty())
        setStatus(message);
    else
        setFailureStatus(message, cause);
}

// The scan: counts the markers and arms the list filler when there is at least
// one. The empty-result check is always armed; the filler disarms it.
void WorksPanel::hx()
{
    m_markerCount = m_pageScan ? m_pageScan->markerCount() : works::countMarkers(m_harvestSlots[0]);
    if (m_markerCount > 0)
        Timer3->start();
    Timer4->start();
}

void WorksPanel::Timer3_Timer()
{
    const std::vector<works::WorkRow> rows = m_pageScan ? works::fillRows(m_harvestSlots, m_markerCount, *m_pageScan)
                                                        : works::fillRows(m_harvestSlots, m_markerCount);
    m_pageScan.reset();

    QList<QTreeWidgetItem *> items;
    items.reserve(qsizetype(rows.size()));
    for (const works::WorkRow &row : rows)
        items.append(newRow({QString::number(row.number), row.id, row.title, m_config.playAddressService(row.id)}));
    ListView1->setUpdatesEnabled(false);
    ListView1->addTopLevelItems(items);
    ListView1->setUpdatesEnabled(true);

    Command10->setEnabled(true);
    Text2->setEnabled(true);
    setStatus(works::statusText(works::HarvestStatus::Done));
    Timer4->stop();
    Timer3->stop();
    ListView1->setEnabled(true);
}

void WorksPanel::Timer4_Timer()
{
    Timer4->stop();
    if (ListView1->topLevelItemCount() > 0)
        return;
    const QString noWorks = works::statusText(works::HarvestStatus::NoWorks);
    setStatus(noWorks);
    m_messageBox.inform(m_window, boxTitle(), noWorks + QLatin1Char('!'), MessageBoxService::Icon::Information);
    Text2->setEnabled(true);
    Command10->setEnabled(true);
    ListView1->setEnabled(true);
}

void WorksPanel::Command12_Click()
{
    ListView1->clear();
}

// Looks the selected row's work up. Each step goes on with whatever the
// steps before it left, so the selected row is asked for afresh: the list may
// have been cleared while a fetch waited.
void WorksPanel::ListView1_KeyReturn()
{
    QTreeWidgetItem *row = ListView1->currentItem();
    if (!row)
        return;
    // Focus alone puts the cursor on a row without selecting it.
    ListView1->setCurrentItem(row);
    ListView1_DblClick();
}

// Nothing is disabled meanwhile: a newer double-click takes the place of one
// still waiting for its answer.
void WorksPanel::ListView1_DblClick()
{
    const quint64 mine = ++m_lookUp;
    if (m_serviceRequest)
        m_serviceRequest->abort();
    const QTreeWidgetItem *row = selectedRow(ListView1);
    if (!row) {
        lookUpAnswer();
        return;
    }
    m_serviceRequest = m_fetcher.get(cellValue(row, kAddressColumn), this,
                                     [this, mine, busy = std::make_shared<BusyCursor>()](const FetchResult &answer) {
                                         if (mine != m_lookUp || windowGone())
                                             return;
                                         if (answer.arrived())
                                             m_harvestSlots[5] = answer.text;
                                         lookUpAnswer();
                                     });
}

// The double-click from its second step on: the answer looked up, then the
// row's own id and the player made ready.
void WorksPanel::lookUpAnswer()
{
    Text1->setText(m_harvestSlots[5]);
    m_songPanel.parse([this] {
        if (const QTreeWidgetItem *row = selectedRow(ListView1))
            m_song.workId = cellValue(row, kIdColumn);
        Command7->setText(QStringLiteral("在线播放"));
        m_mci.sendString(QStringLiteral("close all"));
    });
}

void WorksPanel::exportList()
{
    // Where the download panel saves: a folder this copy may write to.
    const std::optional<QString> chosen = m_saveDialog.chooseSaveFile(
        m_window, QStringLiteral("导出列表"), QDir(m_places.downloadFolder).filePath(QStringLiteral("作品列表.csv")),
        QStringLiteral("CSV文件"), QStringLiteral("*.csv"));
    if (windowGone() || !chosen || chosen->isEmpty())
        return;
    // The rows as they stand once the file is chosen.
    const QList<QStringList> rows = listedWorks(ListView1, false);
    const QByteArray csv = works::toCsv(works::exportColumns(), rows);
    // Written whole or not at all: an earlier export under the name survives a failure.
    QSaveFile file(*chosen);
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size() || !file.commit()) {
        m_messageBox.inform(m_window, boxTitle(), works::exportFailedText(file.errorString()),
                            MessageBoxService::Icon::Warning);
        return;
    }
    setStatus(works::exportedText(int(rows.size())));
}
