#include "app/controls.h"
#include "app/form1.h"
#include "app/songpanel.h"
#include "app/tagsmodule.h"
#include "download/filelock.h"
#include "page/pagefetcher.h"
#include "site/httpserver.h"
#include "site/replicasite.h"
#include "support/fakes.h"
#include "support/songpages.h"
#include "works/followsync.h"

#include <QAccessible>
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <atomic>
#include <optional>

namespace {

const QString kFetching = QStringLiteral("正在进行获取..");
const QString kDone = QStringLiteral("获取完毕..");
const QString kNoWorks = QStringLiteral("当前歌手没有音乐作品或未开通Cantora会员无法获取");
const QString kNoPage = QStringLiteral("未能获取歌手主页,请稍后再试 ..");
const QString kServicePath = QStringLiteral("/member/personcenter/loadplayurl.php");

const QByteArray kThreeWorks = "<ul><li data-id=\"11\">Alpha</li><li data-id=\"22\">Beta</li>"
                               "<li data-id=\"33\">Gamma</li></ul>";

QStringList rowText(const QTreeWidgetItem *row)
{
    return {row->text(0), row->text(1), row->text(2), row->text(3)};
}

} // namespace

class TestWorks final : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void addressIsChecked_data();
    void addressIsChecked();
    void harvestFillsTheListAfterTheFetch();
    void pageWithoutWorksIsReportedAfterTwoSeconds();
    void oneMarkerGivesNoRowAndNoMessage();
    void secondHarvestStartsAfresh();
    void harvestWithoutPageEndsCleanly_data();
    void harvestWithoutPageEndsCleanly();

    void doubleClickLooksTheRowUp_data();
    void doubleClickLooksTheRowUp();
    void reResolveUsesTheRowsId();
    void harvestsTheReplicaSingers_data();
    void harvestsTheReplicaSingers();
    void doubleClickWhilePlayingStops();
    void doubleClickOnEmptyListReusesLastAnswer();
    void failedServiceRequestKeepsLastAnswer();
    void clearingTheListKeepsPlaying();
    void listClearedDuringLookUpKeepsWorkId();
    void exportWritesTheListFromTheMenu_data();
    void exportWritesTheListFromTheMenu();
    void menuOpensAtTheCurrentRow_data();
    void menuOpensAtTheCurrentRow();
    void batchFromTheMenuDownloadsEveryRow_data();
    void batchFromTheMenuDownloadsEveryRow();
    void followAndSyncFromTheMenu();
    void syncIsTheWindowsOneJob_data();
    void syncIsTheWindowsOneJob();
    void lookUpEndsWhileAHarvestWaits();

private:
    // Serves, per exact target (path and query), a page; the replica site the rest.
    void serve(QHash<QByteArray, HttpResponse> pages);
    std::unique_ptr<Form1> unlockedWindow();
    void harvest(Form1 &window, const QByteArray &page);
    // Shown on screen (rows can be clicked) with the three-work page harvested.
    std::unique_ptr<Form1> windowWithWorks();
    QString singerAddress() const { return m_server->base() + QStringLiteral("/userPage.php?uid=7"); }
    void doubleClickRow(Form1 &window, int row);
    // Triggers the works list's menu entry that reads `text`.
    static void choose(const Form1 &window, const QString &text);

    std::unique_ptr<LoopbackServer> m_server;
    std::unique_ptr<QTemporaryDir> m_folder;
    FakePlatform m_fakes;
};

void TestWorks::init()
{
    m_server = std::make_unique<LoopbackServer>();
    QVERIFY(m_server->start());
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    serve({});
}

void TestWorks::cleanup()
{
    m_server.reset();
    m_folder.reset();
}

void TestWorks::serve(QHash<QByteArray, HttpResponse> pages)
{
    // The replica site answers whatever the test does not.
    const HttpHandler site = replicaSite(QStringLiteral(CANTORA_SITE_ROOT));
    m_server->setHandler([pages, site](const HttpRequest &request) {
        const auto own = pages.constFind(request.target);
        return own != pages.cend() ? *own : site(request);
    });
}

std::unique_ptr<Form1> TestWorks::unlockedWindow()
{
    auto window = std::make_unique<Form1>(testConfig(m_server->base(), m_folder->path()), m_fakes.make());
    window->load();
    if (!QTest::qWaitFor([&window] { return window->Command10->isEnabled(); }, 5000))
        qWarning("the update check did not unlock the window");
    return window;
}

// A whole harvest of `page`, up to the list filler's tick.
void TestWorks::harvest(Form1 &window, const QByteArray &page)
{
    serve({{"/userPage.php?uid=7", HttpResponse::text(200, page, "text/html; charset=utf-8")}});
    window.Text2->setText(singerAddress());
    window.Command10->click();
    QTRY_VERIFY(window.Command10->isEnabled());
}

std::unique_ptr<Form1> TestWorks::windowWithWorks()
{
    auto window = unlockedWindow();
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return nullptr;
    harvest(*window, kThreeWorks);
    if (window->ListView1->topLevelItemCount() != 2)
        return nullptr;
    return window;
}

void TestWorks::doubleClickRow(Form1 &window, int row)
{
    QTreeWidget *list = window.ListView1;
    const QPoint at = list->visualItemRect(list->topLevelItem(row)).center();
    // The first click of a double-click selects the row.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

void TestWorks::choose(const Form1 &window, const QString &text)
{
    const QList<QAction *> entries = window.ListView1->actions();
    for (QAction *entry : entries) {
        if (entry->text() == text)
            entry->trigger();
    }
}

void TestWorks::addressIsChecked_data()
{
    QTest::addColumn<QString>("address"); // {base} stands for the server's base
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("fetched");
    QTest::newRow("empty") << ""
                           << "请输入歌手主页地址 .." << false;
    QTest::newRow("key in other letter case") << "{base}/UserPage.php?uid=7"
                                              << "地址错误,请您检查 .." << false;
    QTest::newRow("no key") << "{base}/user/7"
                            << "地址错误,请您检查 .." << false;
    QTest::newRow("key after any prefix") << "{base}/a/b?x=1&userPage.php?uid=7" << kDone << true;
    QTest::newRow("pasted with blanks and line breaks")
        << QStringLiteral("\u00A0 \t{base}/a/b?x=1&userPage.php?uid=7\r\n\uFEFF") << kDone << true;
    QTest::newRow("only blanks") << " \r\n"
                                 << "请输入歌手主页地址 .." << false;
}

void TestWorks::addressIsChecked()
{
    QFETCH(QString, address);
    QFETCH(QString, status);
    QFETCH(bool, fetched);
    auto window = unlockedWindow();
    serve({{"/a/b?x=1&userPage.php?uid=7", HttpResponse::text(200, kThreeWorks)}});
    const int before = m_server->requestCount();

    window->Text2->setText(address.replace(QLatin1String("{base}"), m_server->base()));
    window->Command10->click();
    QTRY_COMPARE(window->status(), status);
    QCOMPARE(m_server->requestCount() - before, fetched ? 1 : 0);
    QVERIFY(window->Command10->isEnabled());
    QVERIFY(window->Text2->isEnabled());
}

void TestWorks::harvestFillsTheListAfterTheFetch()
{
    auto window = unlockedWindow();
    // Rows of an earlier harvest stay until the new page has arrived.
    new QTreeWidgetItem(window->ListView1, {"1", "99", "Old", "old"});
    HttpResponse slow = HttpResponse::text(200, kThreeWorks);
    slow.delayMs = 400;
    serve({{"/userPage.php?uid=7", slow}});

    struct
    {
        bool taken = false, button = true, box = true;
        int rows = 0;
        QString status;
    } during;
    QTimer::singleShot(200, window.get(), [&] {
        during = {true, window->Command10->isEnabled(), window->Text2->isEnabled(),
                  window->ListView1->topLevelItemCount(), window->status()};
    });
    // Scanned, as the page's answer returns to the event loop: the list is
    // empty, the filler ticks first.
    struct
    {
        bool taken = false, armed = false, fillerFirst = false;
        int rows = -1;
    } scanned;
    connect(
        window->ListView1->model(), &QAbstractItemModel::modelReset, window.get(),
        [&] {
            scanned = {true, window->Timer3->isActive() && window->Timer4->isActive(),
                       window->Timer3->remainingTime() < window->Timer4->remainingTime(),
                       window->ListView1->topLevelItemCount()};
        },
        Qt::QueuedConnection);
    window->Text2->setText(singerAddress());
    window->Command10->click();
    QTRY_VERIFY(during.taken);
    QVERIFY(!during.button && !during.box);
    QCOMPARE(during.rows, 1);
    QCOMPARE(during.status, kFetching);
    QTRY_VERIFY(scanned.taken);
    QVERIFY(scanned.armed && scanned.fillerFirst);
    QCOMPARE(scanned.rows, 0);

    QTRY_COMPARE(window->status(), kDone);
    QCOMPARE(window->ListView1->topLevelItemCount(), 2);
    const QString service = m_server->base() + QStringLiteral("/member/personcenter/loadplayurl.php?wid=");
    QCOMPARE(rowText(window->ListView1->topLevelItem(0)), (QStringList{"1", "11", "Alpha", service + "11"}));
    QCOMPARE(rowText(window->ListView1->topLevelItem(1)), (QStringList{"2", "22", "Beta", service + "22"}));
    QVERIFY(window->Command10->isEnabled() && window->Text2->isEnabled());
    QVERIFY(!window->Timer3->isActive() && !window->Timer4->isActive());
    QVERIFY(m_fakes.messageBox->shown.isEmpty());
}

void TestWorks::pageWithoutWorksIsReportedAfterTwoSeconds()
{
    auto window = unlockedWindow();
    window->Text2->setText(singerAddress());
    serve({{"/userPage.php?uid=7", HttpResponse::text(200, "<p>TA还没有发布作品</p>")}});
    QElapsedTimer clock;
    clock.start();
    window->Command10->click();
    QVERIFY(!window->Timer3->isActive());
    QCOMPARE(window->status(), kFetching);

    QTRY_VERIFY_WITH_TIMEOUT(!m_fakes.messageBox->shown.isEmpty(), 5000);
    QVERIFY(clock.elapsed() >= 1900);
    QCOMPARE(m_fakes.messageBox->shown.size(), 1);
    const FakeMessageBox::Shown box = m_fakes.messageBox->shown.first();
    QCOMPARE(box.title, QStringLiteral("Orvandel系列软件"));
    QCOMPARE(box.text, kNoWorks + QLatin1Char('!'));
    QCOMPARE(box.icon, MessageBoxService::Icon::Information);
    QVERIFY(!box.question);
    QCOMPARE(window->status(), kNoWorks);
    QVERIFY(window->Command10->isEnabled() && window->Text2->isEnabled());
    QCOMPARE(window->ListView1->topLevelItemCount(), 0);
    QVERIFY(!window->Timer4->isActive());
}

void TestWorks::oneMarkerGivesNoRowAndNoMessage()
{
    auto window = unlockedWindow();
    harvest(*window, "<a data-id=\"11\">Alpha</a>");
    QCOMPARE(window->status(), kDone);
    QCOMPARE(window->ListView1->topLevelItemCount(), 0);
    // The filler disarmed the empty-result check: it never reports.
    QVERIFY(!window->Timer4->isActive());
    QVERIFY(m_fakes.messageBox->shown.isEmpty());
}

void TestWorks::secondHarvestStartsAfresh()
{
    auto window = unlockedWindow();
    harvest(*window, kThreeWorks);
    QCOMPARE(window->ListView1->topLevelItemCount(), 2);

    // The second page's first entry carries another attribute after its id:
    // its row takes the title the first harvest ended with.
    harvest(*window, "data-id=\"44\" class=\"hot\">Delta<data-id=\"55\">Echo<data-id=\"66\">");
    QTRY_COMPARE(window->ListView1->topLevelItemCount(), 2);
    QCOMPARE(window->ListView1->topLevelItem(0)->text(0), QStringLiteral("1"));
    QCOMPARE(window->ListView1->topLevelItem(0)->text(1), QStringLiteral("44"));
    QCOMPARE(window->ListView1->topLevelItem(0)->text(2), QStringLiteral("Beta"));
    QCOMPARE(rowText(window->ListView1->topLevelItem(1)).mid(0, 3), (QStringList{"2", "55", "Echo"}));
}

void TestWorks::harvestWithoutPageEndsCleanly_data()
{
    QTest::addColumn<HttpResponse>("response");
    QTest::addColumn<bool>("listCleared");
    QTest::newRow("empty body") << HttpResponse::text(200, "") << true;
    HttpResponse cutOff = HttpResponse::text(200, "data-id=\"11\">Alpha<data-id=\"22\">");
    cutOff.announcedLength = 4000;
    cutOff.dropAfter = 10;
    QTest::newRow("connection broken off") << cutOff << false;
    HttpResponse silent;
    silent.neverAnswer = true;
    QTest::newRow("time limit") << silent << false;
}

void TestWorks::harvestWithoutPageEndsCleanly()
{
    QFETCH(HttpResponse, response);
    QFETCH(bool, listCleared);
    auto window = unlockedWindow();
    harvest(*window, kThreeWorks);
    window->fetcher()->setTimeLimit(300);

    serve({{"/userPage.php?uid=7", response}});
    window->Command10->click();
    // Ended with the answer: nothing is left armed to end it later.
    QTRY_COMPARE(window->status(), kNoPage);
    QVERIFY(window->Command10->isEnabled() && window->Text2->isEnabled());
    QVERIFY(!window->Timer3->isActive() && !window->Timer4->isActive());
    QCOMPARE(window->ListView1->topLevelItemCount(), listCleared ? 0 : 2);
    QVERIFY(m_fakes.messageBox->shown.isEmpty());
    // A network failure names its cause; an empty page has none.
    QCOMPARE(window->statusCause().isEmpty(), listCleared);

    // The window harvests again at once.
    harvest(*window, kThreeWorks);
    QCOMPARE(window->status(), kDone);
    QVERIFY(window->statusCause().isEmpty());
    QCOMPARE(window->ListView1->topLevelItemCount(), 2);
}

void TestWorks::doubleClickLooksTheRowUp_data()
{
    QTest::addColumn<bool>("keyboard"); // Enter harvests and looks up instead of the mouse
    QTest::newRow("mouse") << false;
    QTest::newRow("keyboard") << true;
}

void TestWorks::doubleClickLooksTheRowUp()
{
    QFETCH(bool, keyboard);
    auto window = unlockedWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    window->Text2->setText(m_server->base() + QStringLiteral("/userPage.php?uid=1001"));
    if (keyboard)
        QTest::keyClick(window->Text2, Qt::Key_Return);
    else
        window->Command10->click();
    QTRY_COMPARE(window->ListView1->topLevelItemCount(), 3);
    m_fakes.mci->commands.clear();
    const int before = m_server->requestCount();

    if (keyboard) {
        // Tabbing in puts the cursor on the first row; Down moves it on.
        window->ListView1->setFocus(Qt::TabFocusReason);
        QTest::keyClick(window->ListView1, Qt::Key_Down);
        QTest::keyClick(window->ListView1, Qt::Key_Return);
    } else {
        doubleClickRow(*window, 1);
    }
    // Ready to play, not playing, once the page is in.
    QTRY_COMPARE(m_fakes.mci->commands, QStringList{"close all"});
    QCOMPARE(window->Command7->text(), QStringLiteral("在线播放"));
    const QList<HttpRequest> asked = m_server->requests().mid(before);
    QVERIFY(asked.size() >= 2);
    QCOMPARE(asked[0].target, QByteArray("/member/personcenter/loadplayurl.php?wid=5201109"));
    QCOMPARE(asked[1].target, QByteArray("/s/5201109"));
    QCOMPARE(window->Text1->text(), m_server->base() + QStringLiteral("/s/5201109"));
    QCOMPARE(window->Label2->caption(), QStringLiteral("演唱歌曲：小幸运"));
    QCOMPARE(window->Label1->caption(), QStringLiteral("用户名：林小夏"));
    QVERIFY(window->songRecord().audioAddress.endsWith(QLatin1String("/5201109.mp3")));
    QCOMPARE(window->songRecord().workId, QStringLiteral("5201109"));
}

void TestWorks::reResolveUsesTheRowsId()
{
    auto window = unlockedWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    // The singer page lists the work under another id than its song page gives.
    const QByteArray service = (m_server->base() + QStringLiteral("/s/5200109")).toUtf8();
    serve({{"/userPage.php?uid=7", HttpResponse::text(200, "<a data-id=\"777109\">晴天</a><a data-id=\"0\">")},
           {"/member/personcenter/loadplayurl.php?wid=777109", HttpResponse::text(200, service)}});
    window->Text2->setText(singerAddress());
    window->Command10->click();
    QTRY_COMPARE(window->ListView1->topLevelItemCount(), 1);
    doubleClickRow(*window, 0);
    QTRY_COMPARE(window->songRecord().workId, QStringLiteral("777109"));
    QCOMPARE(window->Label2->caption(), QStringLiteral("演唱歌曲：晴天"));

    window->Command16->click();
    QCOMPARE(window->songRecord().audioAddress, QStringLiteral("http://127.0.0.1:1/userdata/userwork/109/777109.mp3"));
    QCOMPARE(window->Command7->text(), QStringLiteral("停止播放"));
}

void TestWorks::harvestsTheReplicaSingers_data()
{
    QTest::addColumn<QString>("uid");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("lastTitle");
    QTest::newRow("singer with three works") << "1001" << 3 << "后来";
    QTest::newRow("singer with one work") << "1002" << 1 << "平凡之路";
    QTest::newRow("singer with thousands of works") << "1004" << 5000 << "练习曲 第5000首";
    QTest::newRow("singer with hundreds of works") << "1005" << 500 << "练习曲 第500首";
    QTest::newRow("singer without works") << "1003" << 0 << "";
}

void TestWorks::harvestsTheReplicaSingers()
{
    QFETCH(QString, uid);
    QFETCH(int, rows);
    QFETCH(QString, lastTitle);
    auto window = unlockedWindow();
    window->Text2->setText(m_server->base() + QStringLiteral("/userPage.php?uid=") + uid);
    window->Command10->click();
    QTRY_VERIFY_WITH_TIMEOUT(window->Command10->isEnabled(), 5000);
    QCOMPARE(window->ListView1->topLevelItemCount(), rows);
    QCOMPARE(m_fakes.messageBox->shown.size(), rows == 0 ? 1 : 0);
    if (rows == 0)
        return;
    const QTreeWidgetItem *last = window->ListView1->topLevelItem(rows - 1);
    QCOMPARE(last->text(0), QString::number(rows));
    QCOMPARE(last->text(2), lastTitle);
    // Every row's service address answers with that work's song page.
    PageFetcher fetcher;
    const FetchResult answer = fetcher.GetBody(last->text(3));
    QVERIFY(answer.arrived());
    QCOMPARE(answer.text, m_server->base() + QStringLiteral("/s/") + last->text(1));
}

void TestWorks::doubleClickWhilePlayingStops()
{
    auto window = windowWithWorks();
    QVERIFY(window);
    window->Command7->setText(QStringLiteral("停止播放"));
    m_fakes.mci->commands.clear();

    doubleClickRow(*window, 0);
    QTRY_COMPARE(m_fakes.mci->commands, QStringList{"close all"});
    QCOMPARE(window->Command7->text(), QStringLiteral("在线播放"));
}

void TestWorks::doubleClickOnEmptyListReusesLastAnswer()
{
    auto window = unlockedWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->songRecord().workId = QStringLiteral("kept");
    window->Text1->setText(QStringLiteral("typed"));
    const int before = m_server->requestCount();

    QTest::mouseDClick(window->ListView1->viewport(), Qt::LeftButton, {}, QPoint(50, 50));
    // No row: no service request, the (still empty) last answer fills the box.
    QCOMPARE(m_server->requestCount(), before);
    QCOMPARE(window->Text1->text(), QString());
    QCOMPARE(window->songRecord().workId, QStringLiteral("kept"));
    QCOMPARE(m_fakes.mci->commands.last(), QStringLiteral("close all"));
}

void TestWorks::failedServiceRequestKeepsLastAnswer()
{
    auto window = windowWithWorks();
    QVERIFY(window);
    serve({{"/member/personcenter/loadplayurl.php?wid=11", HttpResponse::text(200, "http://site/s/11")}});
    doubleClickRow(*window, 0);
    QTRY_COMPARE(window->Text1->text(), QStringLiteral("http://site/s/11"));

    HttpResponse broken = HttpResponse::text(200, "http://site/s/22");
    broken.announcedLength = 100;
    broken.dropAfter = 3;
    serve({{"/member/personcenter/loadplayurl.php?wid=22", broken}});
    doubleClickRow(*window, 1);
    // The row's id still becomes the work id.
    QTRY_COMPARE(window->songRecord().workId, QStringLiteral("22"));
    QCOMPARE(window->Text1->text(), QStringLiteral("http://site/s/11"));
}

void TestWorks::clearingTheListKeepsPlaying()
{
    auto window = unlockedWindow();
    harvest(*window, kThreeWorks);
    window->Command7->setText(QStringLiteral("停止播放"));
    m_fakes.mci->commands.clear();

    window->Command12->click();
    QCOMPARE(window->ListView1->topLevelItemCount(), 0);
    QVERIFY(m_fakes.mci->commands.isEmpty());
    QCOMPARE(window->Command7->text(), QStringLiteral("停止播放"));
    QCOMPARE(window->Text2->text(), singerAddress());

    // The harvest runs again at once, from the same address.
    window->Command10->click();
    QTRY_COMPARE(window->ListView1->topLevelItemCount(), 2);
}

void TestWorks::listClearedDuringLookUpKeepsWorkId()
{
    auto window = windowWithWorks();
    QVERIFY(window);
    window->songRecord().workId = QStringLiteral("kept");
    HttpResponse slow = HttpResponse::text(200, "http://site/s/11");
    slow.delayMs = 300;
    serve({{"/member/personcenter/loadplayurl.php?wid=11", slow}});
    // The list is cleared while the service's answer is on its way.
    QTimer::singleShot(100, window.get(), [&] { window->Command12->click(); });

    m_fakes.mci->commands.clear();
    doubleClickRow(*window, 0);
    QTRY_COMPARE(m_fakes.mci->commands, QStringList{"close all"});
    QCOMPARE(window->ListView1->topLevelItemCount(), 0);
    QCOMPARE(window->Text1->text(), QStringLiteral("http://site/s/11"));
    QCOMPARE(window->songRecord().workId, QStringLiteral("kept"));
}

void TestWorks::exportWritesTheListFromTheMenu_data()
{
    QTest::addColumn<QString>("answer"); // the file chosen, under the scratch folder; empty: cancelled
    QTest::addColumn<bool>("written");
    QTest::newRow("written") << "list.csv" << true;
    QTest::newRow("folder missing") << "gone/list.csv" << false;
    QTest::newRow("cancelled") << "" << false;
}

void TestWorks::exportWritesTheListFromTheMenu()
{
    QFETCH(QString, answer);
    QFETCH(bool, written);
    auto window = unlockedWindow();
    harvest(*window, kThreeWorks);
    const QString path = m_folder->filePath(answer);
    if (!answer.isEmpty())
        m_fakes.saveDialog->answer = path;
    const QString before = window->status();

    const QList<QAction *> entries = window->ListView1->actions();
    const auto entry = std::find_if(entries.cbegin(), entries.cend(), [](const QAction *action) {
        return action->text() == QStringLiteral("导出列表…");
    });
    QVERIFY(entry != entries.cend());
    (*entry)->trigger();

    // Proposed where the download panel saves, never the program folder itself.
    QCOMPARE(m_fakes.saveDialog->proposed,
             QStringList{QDir(window->places().downloadFolder).filePath(QStringLiteral("作品列表.csv"))});
    QFile file(path);
    QCOMPARE(file.open(QIODevice::ReadOnly), written);
    const QString service = m_server->base() + kServicePath + QStringLiteral("?wid=");
    if (written)
        QCOMPARE(QString::fromUtf8(file.readAll()),
                 "序号,音乐ID,音乐名称,音乐地址\r\n1,11,Alpha," + service + "11\r\n2,22,Beta," + service + "22\r\n");
    QCOMPARE(window->status(), written ? QStringLiteral("已导出 2 个作品 ..") : before);
    const bool warned = !answer.isEmpty() && !written;
    QCOMPARE(m_fakes.messageBox->shown.size(), warned ? 1 : 0);
    if (warned)
        QVERIFY(m_fakes.messageBox->shown[0].text.startsWith(QStringLiteral("列表导出失败")));
}

void TestWorks::menuOpensAtTheCurrentRow_data()
{
    QTest::addColumn<int>("key"); // 0: a right click on the row
    QTest::addColumn<int>("modifiers");
    QTest::newRow("Menu key") << int(Qt::Key_Menu) << int(Qt::NoModifier);
    QTest::newRow("Shift+F10") << int(Qt::Key_F10) << int(Qt::ShiftModifier);
    QTest::newRow("right click") << 0 << 0;
}

// Each time, the one menu opens at the current row (or under the pointer)
// with the entries shown and nothing else, each one named for a screen reader.
void TestWorks::menuOpensAtTheCurrentRow()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    auto window = unlockedWindow();
    harvest(*window, kThreeWorks);
    QTreeWidget *list = window->ListView1;
    list->setCurrentItem(list->topLevelItem(1));
    const QRect row = list->visualItemRect(list->topLevelItem(1));
    const QPoint at = list->viewport()->mapToGlobal(row.center());
    const QStringList shown{"下载选中作品", "下载全部作品", "导出列表…", "关注此歌手", "取消关注", "同步关注的歌手"};
    QMenu *menu = nullptr;
    for (int opening = 0; opening < 3; ++opening) {
        QContextMenuEvent click(QContextMenuEvent::Mouse, row.center(), at);
        if (key)
            QTest::keyClick(list, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        else
            QApplication::sendEvent(list->viewport(), &click);
        QTRY_VERIFY((menu = list->findChild<QMenu *>(QStringLiteral("worksMenu"))) && menu->isVisible());
        // Below the point, or above it where the screen ends.
        const QRect box = menu->geometry();
        QVERIFY2(qAbs(box.top() - at.y()) <= 1 || qAbs(box.bottom() - at.y()) <= 1,
                 qPrintable(QString::number(box.top())));
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(menu);
        QStringList names;
        for (int i = 0; i < face->childCount(); ++i)
            names << face->child(i)->text(QAccessible::Name);
        QCOMPARE(names, shown);
        menu->hide();
    }
}

void TestWorks::batchFromTheMenuDownloadsEveryRow_data()
{
    QTest::addColumn<QStringList>("titles"); // of works 11 and 22
    QTest::addColumn<bool>("secondHasAudio");
    // While the MP3s trickle in: "close" closes the window, "stop" chooses 停止批量下载.
    QTest::addColumn<QString>("midway");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<int>("files"); // MP3 files in the download folder
    // 11's file is already there, tagged by an earlier run with 11's page: it
    // is 11's to write again, not a reason for a second name.
    QTest::addColumn<bool>("taggedBefore");
    QTest::addColumn<QString>("again"); // the summary of the same batch run once more; empty: not run

    QTest::newRow("one reported") << QStringList{"作品11", "作品22"} << false << QString()
                                  << "批量下载完成: 1 个成功, 1 个失败, 0 个跳过" << 1 << false << QString();
    QTest::newRow("same title twice") << QStringList{"同名歌", "同名歌"} << true << QString()
                                      << "批量下载完成: 2 个成功, 0 个失败, 0 个跳过" << 2 << false
                                      << "批量下载完成: 0 个成功, 0 个失败, 2 个跳过";
    QTest::newRow("closed midway") << QStringList{"作品11", "作品22"} << true << QStringLiteral("close") << QString()
                                   << 0 << false << QString();
    QTest::newRow("stopped midway: not called finished")
        << QStringList{"作品11", "作品22"} << true << QStringLiteral("stop")
        << "批量下载已停止: 0 个成功, 0 个失败, 0 个跳过, 2 个停止" << 0 << false << QString();
    QTest::newRow("tagged before") << QStringList{"作品11", "作品22"} << true << QString()
                                   << "批量下载完成: 2 个成功, 0 个失败, 0 个跳过" << 2 << true
                                   << "批量下载完成: 0 个成功, 0 个失败, 2 个跳过";
}

// "下载全部作品": every row is looked up through its service address and its
// MP3 lands in a file of its own in the download folder; closing the window
// stops the batch.
void TestWorks::batchFromTheMenuDownloadsEveryRow()
{
    QFETCH(QStringList, titles);
    QFETCH(bool, secondHasAudio);
    QFETCH(QString, midway);
    const bool closeMidway = midway == QLatin1String("close");
    QFETCH(QString, summary);
    QFETCH(int, files);
    QFETCH(bool, taggedBefore);
    QFETCH(QString, again);
    auto window = unlockedWindow();
    harvest(*window, kThreeWorks);
    const QString base = m_server->base();
    if (taggedBefore) { // through the window's own way to the tags
        const QString earlier = QDir(window->places().downloadFolder).filePath(QStringLiteral("作品11 - 林小夏.mp3"));
        QVERIFY(QDir().mkpath(window->places().downloadFolder));
        QFile file(earlier);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(replicaFile(QStringLiteral("audio/5201109.mp3"))) > 0);
        file.close();
        QCOMPARE(ModuleTags().write(earlier, {QString(), QString(), QByteArray(), base + QStringLiteral("/s/11")}),
                 QString());
    }
    QHash<QByteArray, HttpResponse> pages;
    pages.insert("/userPage.php?uid=7", HttpResponse::text(200, kThreeWorks, "text/html; charset=utf-8"));
    for (const int i : {0, 1}) {
        const QString id = QString::number(11 * (i + 1));
        SongPage song;
        song.title = titles[i];
        song.audioPath = QStringLiteral("/userdata/userwork/a%1/%1.mp3").arg(id);
        pages.insert((kServicePath + QStringLiteral("?wid=") + id).toUtf8(),
                     HttpResponse::text(200, (base + QStringLiteral("/s/") + id).toUtf8(), "text/plain"));
        pages.insert(("/s/" + id).toUtf8(), HttpResponse::text(200, song.html(base), "text/html; charset=utf-8"));
        HttpResponse audio = HttpResponse::text(
            200, replicaFile(i == 0 ? QStringLiteral("audio/5200109.mp3") : QStringLiteral("audio/5201109.mp3")),
            "audio/mpeg");
        audio.trickleBytes = midway.isEmpty() ? 0 : 100;
        audio.trickleMs = midway.isEmpty() ? 0 : 1000;
        if (i == 0 || secondHasAudio)
            pages.insert(song.audioPath.toUtf8(), audio);
    }
    serve(pages);

    const QList<QAction *> entries = window->ListView1->actions();
    const auto entry = std::find_if(entries.cbegin(), entries.cend(), [](const QAction *action) {
        return action->text() == QStringLiteral("下载全部作品");
    });
    QVERIFY(entry != entries.cend());
    (*entry)->trigger();
    const QDir folder(window->places().downloadFolder);
    if (!midway.isEmpty()) {
        const auto asked = [this] {
            const QList<HttpRequest> requests = m_server->requests();
            return std::any_of(requests.cbegin(), requests.cend(),
                               [](const HttpRequest &r) { return r.path.endsWith(QLatin1String(".mp3")); });
        };
        QTRY_VERIFY_WITH_TIMEOUT(asked(), 10000);
        if (closeMidway) {
            window->close();
            window.reset(); // the batch's transfers end with it, their clients after them
            return;
        }
        for (QAction *action : entries) {
            if (action->text() == QStringLiteral("停止批量下载"))
                action->trigger();
        }
    }
    // The end names where the files went, once any did.
    QTRY_COMPARE_WITH_TIMEOUT(window->status(),
                              files > 0 ? summary + QStringLiteral(", 文件保存在 ") + folder.path() : summary, 10000);
    // As many files as the summary says, each holding its own work.
    const QStringList saved = folder.entryList({QStringLiteral("*.mp3")}, QDir::Files);
    QCOMPARE(saved.size(), files);
    QSet<QByteArray> contents;
    for (const QString &name : saved) {
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        contents << file.readAll();
    }
    QCOMPARE(contents.size(), files);
    if (!again.isEmpty()) { // what is here already is skipped: no MP3 asked for, no "(id)" copy
        const auto songsAsked = [this] {
            const QList<HttpRequest> requests = m_server->requests();
            return std::count_if(requests.cbegin(), requests.cend(),
                                 [](const HttpRequest &r) { return r.path.endsWith(QLatin1String(".mp3")); });
        };
        const auto before = songsAsked();
        (*entry)->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(window->status(), again, 10000);
        QCOMPARE(songsAsked(), before);
        QCOMPARE(folder.entryList({QStringLiteral("*.mp3")}, QDir::Files), saved);
    }
    if (!secondHasAudio) {
        QVERIFY(folder.exists(QStringLiteral("作品11 - 林小夏.mp3")));
        QCOMPARE(m_fakes.messageBox->shown.size(), 1);
        QVERIFY(m_fakes.messageBox->shown[0].text.contains(QStringLiteral("作品22")));
    }
}

// 关注此歌手 / 取消关注 on the singer in Text2, and 同步关注的歌手 over the
// list the command line shares: one singer's works arrive, the other's page
// fails and is reported in the one box.
void TestWorks::followAndSyncFromTheMenu()
{
    qputenv("XDG_CONFIG_HOME", m_folder->filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", m_folder->filePath(QStringLiteral("data")).toUtf8());
    auto window = unlockedWindow();
    const auto choose = [&window](const QString &text) { TestWorks::choose(*window, text); };
    const QString singer = m_server->base() + QStringLiteral("/userPage.php?uid=");
    window->Text2->setText(singer + QStringLiteral("1001"));
    choose(QStringLiteral("关注此歌手"));
    QTRY_COMPARE(window->status(), QStringLiteral("已关注 林小夏 .."));
    window->Text2->setText(singer + QStringLiteral("1099"));
    choose(QStringLiteral("关注此歌手"));
    QTRY_COMPARE(window->status(), QStringLiteral("已关注 %1 ..").arg(singer + QStringLiteral("1099")));
    choose(QStringLiteral("同步关注的歌手"));
    // The singer whose page failed is a failure like any work; the end names where the files went.
    QTRY_COMPARE_WITH_TIMEOUT(window->status(),
                              QStringLiteral("批量下载完成: 3 个成功, 1 个失败, 0 个跳过, 文件保存在 ") +
                                  window->places().downloadFolder,
                              20000);
    QVERIFY(QFile::exists(window->places().downloadFolder + QStringLiteral("/林小夏/后来 - 林小夏.mp3")));
    QCOMPARE(m_fakes.messageBox->shown.size(), 1);
    QVERIFY(m_fakes.messageBox->shown[0].text.contains(QStringLiteral("uid=1099")));

    choose(QStringLiteral("取消关注"));
    QCOMPARE(window->status(), QStringLiteral("已取消关注 .."));
    QFile list(m_folder->filePath(QStringLiteral("config/cantora-helper/following")));
    QVERIFY(list.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(list.readAll()), singer + QStringLiteral("1001  # 林小夏\n"));

    // Closing the window stops a sync under way and leaves no half file in a work's place
    // (beside the works, the singer's playlist of those complete).
    window->Text2->setText(singer + QStringLiteral("1005"));
    choose(QStringLiteral("关注此歌手"));
    QTRY_COMPARE(window->status(), QStringLiteral("已关注 百曲 .."));
    choose(QStringLiteral("同步关注的歌手"));
    QTRY_VERIFY(window->status().startsWith(QStringLiteral("正在批量下载 ")) &&
                !window->status().startsWith(QStringLiteral("正在批量下载 0/")));
    window->close();
    window.reset();
    QDir singerFolder(m_folder->filePath(QStringLiteral("Music/百曲")));
    for (const QFileInfo &file : singerFolder.entryInfoList(QDir::Files))
        QVERIFY2(file.size() > 0 && (file.suffix() == QLatin1String("mp3") || file.suffix() == QLatin1String("part") ||
                                     file.suffix() == QLatin1String("m3u8")),
                 qPrintable(file.fileName()));
}

void TestWorks::syncIsTheWindowsOneJob_data()
{
    QTest::addColumn<QString>("uid");     // of the one singer followed
    QTest::addColumn<QString>("archive"); // "folder", or what the archive file holds (empty: no file)
    QTest::addColumn<QString>("end");     // how the status line ends ({archive}: its path)
    // "pause": the singer's page first asks for a pause of 2 s; "locked": another sync of the user runs
    QTest::addColumn<QString>("meanwhile");
    QTest::newRow("archive is a folder") << "1001"
                                         << "folder"
                                         << "下载记录文件“{archive}”无法使用,未同步任何作品 .."
                                         << "";
    QTest::newRow("nothing new") << "1001"
                                 << "5200109\n5201109\n5202109\n"
                                 << "批量下载完成: 0 个成功, 0 个失败, 3 个跳过"
                                 << "";
    QTest::newRow("stopped from the menu") << "1005"
                                           << ""
                                           << "批量下载已停止: "
                                           << "";
    QTest::newRow("site asks for a pause") << "1001"
                                           << ""
                                           << "批量下载完成: 3 个成功, 0 个失败, 0 个跳过"
                                           << "pause";
    QTest::newRow("another sync runs") << "1001"
                                       << ""
                                       << "已有同步正在进行.."
                                       << "locked";
}

// 同步关注的歌手 is the window's one batch job: it shows where it is, a
// second job waits its turn, 停止批量下载 stops it, and an archive it cannot
// use stops it before it starts.
void TestWorks::syncIsTheWindowsOneJob()
{
    QFETCH(QString, uid);
    QFETCH(QString, archive);
    QFETCH(QString, end);
    QFETCH(QString, meanwhile);
    const bool pause = meanwhile == QLatin1String("pause");
    qputenv("XDG_CONFIG_HOME", m_folder->filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", m_folder->filePath(QStringLiteral("data")).toUtf8());
    const QString archivePath = m_folder->filePath(QStringLiteral("data/cantora-helper/archive.txt"));
    QVERIFY(QDir().mkpath(archive == QLatin1String("folder") ? archivePath : QFileInfo(archivePath).path()));
    QFile archiveFile(archivePath);
    QVERIFY(archive.isEmpty() || archive == QLatin1String("folder") ||
            (archiveFile.open(QIODevice::WriteOnly) && archiveFile.write(archive.toUtf8()) > 0));
    archiveFile.close();
    QVERIFY(QDir().mkpath(m_folder->filePath(QStringLiteral("config/cantora-helper"))));
    QFile following(m_folder->filePath(QStringLiteral("config/cantora-helper/following")));
    QVERIFY(following.open(QIODevice::WriteOnly));
    following.write((m_server->base() + QStringLiteral("/userPage.php?uid=") + uid + QLatin1Char('\n')).toUtf8());
    following.close();
    // Files that take their time, so a stop finds the job under way.
    auto paused = std::make_shared<std::atomic<bool>>(!pause);
    m_server->setHandler([site = replicaSite(QStringLiteral(CANTORA_SITE_ROOT)), paused](const HttpRequest &request) {
        if (request.path == QLatin1String("/userPage.php") && !paused->exchange(true)) {
            HttpResponse busy = HttpResponse::text(429, "busy");
            busy.headers.append(qMakePair(QByteArray("Retry-After"), QByteArray("2")));
            return busy;
        }
        HttpResponse answer = site(request);
        if (request.path.endsWith(QLatin1String(".mp3"))) {
            answer.trickleBytes = 4096;
            answer.trickleMs = 100;
        }
        return answer;
    });
    auto window = unlockedWindow();
    const int before = m_server->requestCount();
    std::optional<download::FileLock> otherSync;
    if (meanwhile == QLatin1String("locked"))
        otherSync.emplace(works::syncLockPath(), download::FileLock::Wait::No);

    choose(*window, QStringLiteral("同步关注的歌手"));
    QAction *stop = nullptr;
    for (QAction *entry : window->ListView1->actions())
        stop = entry->text() == QStringLiteral("停止批量下载") ? entry : stop;
    if (uid == QLatin1String("1005")) {
        // How far it is and the work it fetches.
        QTRY_VERIFY_WITH_TIMEOUT(window->status().contains(QStringLiteral(" 练习曲 ")), 10000);
        QVERIFY2(window->status().startsWith(QStringLiteral("正在批量下载 ")), qPrintable(window->status()));
        for (const char *other : {"同步关注的歌手", "下载全部作品"}) {
            choose(*window, QString::fromUtf8(other));
            QCOMPARE(window->status(), QStringLiteral("批量下载正在进行,请等待完成或先停止批量下载 .."));
        }
        QVERIFY(stop->isVisible());
        stop->trigger();
    }
    // A wait shows as one, with its reason and the seconds left.
    if (pause)
        QTRY_VERIFY2(window->status().contains(QStringLiteral(" 秒 (服务器要求稍后再试)")),
                     qPrintable(window->status()));
    QTRY_VERIFY2_WITH_TIMEOUT(
        window->status().startsWith(QString(end).replace(QLatin1String("{archive}"), archivePath)),
        qPrintable(window->status()), 10000);
    QVERIFY(!stop->isVisible());
    // Nothing synced: no page asked for.
    if (archive == QLatin1String("folder") || otherSync)
        QCOMPARE(m_server->requestCount(), before);
    if (archive == QLatin1String("folder")) {
        // Refused with the cause at hand.
        QCOMPARE(m_fakes.messageBox->shown.size(), 1);
        QCOMPARE(m_fakes.messageBox->shown[0].text, window->status());
        QVERIFY(!m_fakes.messageBox->shown[0].detail.isEmpty());
    }
    // A singer with nothing new gets no folder.
    if (!archive.isEmpty())
        QVERIFY(!QFileInfo::exists(window->places().downloadFolder + QStringLiteral("/林小夏")));
}

// Nothing waits inside another wait, and the latest lookup wins: a lookup
// whose page comes soon is shown while a harvest started during its wait still
// waits for a slow page, and the slower page of the lookup it replaced never shows.
void TestWorks::lookUpEndsWhileAHarvestWaits()
{
    auto window = unlockedWindow();
    HttpResponse slowSinger = HttpResponse::text(200, kThreeWorks);
    slowSinger.delayMs = 3000;
    SongPage replaced;
    replaced.title = QStringLiteral("被取代");
    HttpResponse old = HttpResponse::text(200, replaced.html(m_server->base()), "text/html; charset=utf-8");
    old.delayMs = 1500;
    HttpResponse song = HttpResponse::text(200, SongPage().html(m_server->base()), "text/html; charset=utf-8");
    song.delayMs = 300;
    serve({{"/userPage.php?uid=7", slowSinger}, {"/s/76", old}, {"/s/77", song}});
    window->Text2->setText(singerAddress());
    for (const char *code : {"76", "77"}) {
        window->Text1->setText(m_server->base() + QStringLiteral("/s/") + QLatin1String(code));
        window->songPanel().aicAlphaImage3_Click();
    }
    QTimer::singleShot(50, window->Command10, &QPushButton::click);

    QTRY_COMPARE_WITH_TIMEOUT(window->Label2->caption(), QStringLiteral("演唱歌曲：晴天"), 2500);
    QCOMPARE(window->status(), kFetching);
    QTRY_COMPARE_WITH_TIMEOUT(window->status(), kDone, 10000);
    QCOMPARE(window->Label2->caption(), QStringLiteral("演唱歌曲：晴天"));
}

QTEST_MAIN(TestWorks)
#include "tst_works.moc"
