#include "app/controls.h"
#include "app/form1.h"

#include "page/pagefetcher.h"
#include "player/mciinterpreter.h"
#include "works/harvest.h"

#include <QEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

// The works list: harvesting a singer's works and acting on its rows.

namespace {

const QString kSingerPageKey = QStringLiteral("userPage.php?uid=");
const QString kNoWorks = QStringLiteral("当前歌手没有音乐作品或未开通Cantora会员无法获取");

// Column of the works list that holds the work id, and the one that holds the
// (hidden) play-address service address.
constexpr int kIdColumn = 1;
constexpr int kAddressColumn = 3;

// Reports every left double-click inside the list, on a row or not: the list
// acts on its selected row, whatever was under the pointer.
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

void Form1::connectWorksHandlers()
{
    // Each timer acts once per harvest; the scan arms them again.
    Timer3->setSingleShot(true);
    Timer4->setSingleShot(true);

    connect(Command10, &QPushButton::clicked, this, &Form1::Command10_Click);
    connect(Command12, &QPushButton::clicked, this, &Form1::Command12_Click);
    connect(Timer3, &QTimer::timeout, this, &Form1::Timer3_Timer);
    connect(Timer4, &QTimer::timeout, this, &Form1::Timer4_Timer);
    new DoubleClickWatch(ListView1->viewport(), [this] { ListView1_DblClick(); });
}

void Form1::Command10_Click()
{
    const QString address = Text2->text();
    if (address.isEmpty()) {
        setStatus(QStringLiteral("请输入歌手主页地址 .."));
        return;
    }
    if (!address.contains(kSingerPageKey, Qt::CaseSensitive)) {
        setStatus(QStringLiteral("地址错误,请您检查 .."));
        return;
    }

    Command10->setEnabled(false);
    Text2->setEnabled(false);
    setStatus(QStringLiteral("正在进行获取.."));

    const FetchResult page = m_fetcher->GetBody(address);
    if (m_closing || m_ended)
        return;
    if (!page.ok) {
        // No page at all: the earlier page stays in its slot and the list
        // keeps its rows.
        endHarvestWithoutPage();
        return;
    }
    m_harvestSlots[0] = page.text;

    m_markerCount = 0;
    ListView1->clear();

    if (m_harvestSlots[0].isEmpty()) {
        endHarvestWithoutPage();
        return;
    }
    hx();
}

void Form1::endHarvestWithoutPage()
{
    Command10->setEnabled(true);
    Text2->setEnabled(true);
    setStatus(QStringLiteral("未能获取歌手主页,请稍后再试 .."));
}

// The scan: counts the markers and arms the list filler when there is at least
// one. The empty-result check is always armed; the filler disarms it.
void Form1::hx()
{
    m_markerCount = works::countMarkers(m_harvestSlots[0]);
    if (m_markerCount > 0)
        Timer3->start();
    Timer4->start();
}

void Form1::Timer3_Timer()
{
    const std::vector<works::WorkRow> rows = works::fillRows(m_harvestSlots, m_markerCount);

    QList<QTreeWidgetItem *> items;
    items.reserve(qsizetype(rows.size()));
    for (const works::WorkRow &row : rows)
        items.append(newRow({QString::number(row.number), row.id, row.title, m_config.playAddressService(row.id)}));
    ListView1->setUpdatesEnabled(false);
    ListView1->addTopLevelItems(items);
    ListView1->setUpdatesEnabled(true);

    Command10->setEnabled(true);
    Text2->setEnabled(true);
    setStatus(QStringLiteral("获取完毕.."));
    Timer4->stop();
    Timer3->stop();
    ListView1->setEnabled(true);
}

void Form1::Timer4_Timer()
{
    Timer4->stop();
    if (ListView1->topLevelItemCount() > 0)
        return;
    setStatus(kNoWorks);
    m_platform.messageBox->inform(this, QString::fromUtf8(kBoxTitle), kNoWorks + QLatin1Char('!'),
                                  MessageBoxService::Icon::Information);
    Text2->setEnabled(true);
    Command10->setEnabled(true);
    ListView1->setEnabled(true);
}

void Form1::Command12_Click()
{
    ListView1->clear();
}

// Looks the selected row's work up. Each step goes on with whatever the
// steps before it left, so the selected row is asked for afresh: the list may
// have been cleared while a fetch waited.
void Form1::ListView1_DblClick()
{
    if (const QTreeWidgetItem *row = selectedRow(ListView1)) {
        const FetchResult answer = m_fetcher->GetBody(cellValue(row, kAddressColumn));
        if (m_closing || m_ended)
            return;
        if (answer.ok)
            m_harvestSlots[5] = answer.text;
    }
    Text1->setText(m_harvestSlots[5]);
    aicAlphaImage3_Click();
    if (m_closing || m_ended)
        return;
    if (const QTreeWidgetItem *row = selectedRow(ListView1))
        program::workId() = cellValue(row, kIdColumn);
    Command7->setText(QStringLiteral("在线播放"));
    m_platform.mci->sendString(QStringLiteral("close all"));
}
