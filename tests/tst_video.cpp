#include "app/controls.h"
#include "app/downloadpanel.h"
#include "app/form1.h"
#include "app/form2.h"
#include "app/songpanel.h"
#include "page/pagefetcher.h"
#include "site/httpserver.h"
#include "site/replicasite.h"
#include "support/fakes.h"
#include "support/songpages.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kNoVideo = QStringLiteral("没有发现视频文件..");

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class TestVideo final : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void pageHoldsTheEmbedLine_data();
    void pageHoldsTheEmbedLine();
    void secondCommandOverwritesThePage();
    void noVideoTellsAndLeavesThePage_data();
    void noVideoTellsAndLeavesThePage();
    void unwritablePageIsReportedNotShown();
    void viewerIsAFixedModalDialog();
    void viewerControlsSitAtTheirPlaces_data();
    void viewerControlsSitAtTheirPlaces();
    void openButtonHandsThePageToTheBrowser();
    void viewerNamesWhereThePageIs_data();
    void viewerNamesWhereThePageIs();
    void closedViewerIsLoadedAfresh();
    void replicaSitePlaysTheLookedUpWork();

private:
    std::unique_ptr<Form1> makeWindow();
    // Looks up the song page /s/CODE; videoQuery is what follows the player
    // prefix on the page (empty: the work has no video).
    void lookUp(Form1 &window, const QString &code, const QString &videoQuery);
    QString pagePath() const { return QDir(m_folder->path()).filePath(QStringLiteral("video.htm")); }
    Form2 *viewer(Form1 &window) const { return window.findChild<Form2 *>(QStringLiteral("Form2")); }

    std::unique_ptr<LoopbackServer> m_server;
    std::unique_ptr<QTemporaryDir> m_folder;
    FakePlatform m_fakes;
    SongSite m_site;
};

void TestVideo::init()
{
    m_server = std::make_unique<LoopbackServer>();
    QVERIFY(m_server->start());
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    m_site = SongSite();
    m_site.file(QStringLiteral("/version/main.txt"), "kw:V3.3|", "text/plain");
    m_site.file(QStringLiteral("/img/avatar/1001.gif"), samplePicture("PNG"), "image/png");
}

void TestVideo::cleanup()
{
    m_server.reset();
    m_folder.reset();
}

std::unique_ptr<Form1> TestVideo::makeWindow()
{
    AppConfig config = testConfig(m_server->base(), m_folder->path());
    config.pageTimeoutMs = 2000;
    auto window = std::make_unique<Form1>(config, m_fakes.make());
    return window;
}

void TestVideo::lookUp(Form1 &window, const QString &code, const QString &videoQuery)
{
    SongPage song;
    song.videoQuery = videoQuery;
    m_site.page(code, song);
    m_server->setHandler(m_site.handler(m_server->base()));
    window.Text1->setText(m_server->base() + QStringLiteral("/s/") + code);
    QVERIFY(lookUpAndWait(window, window.Text1->text()));
}

void TestVideo::pageHoldsTheEmbedLine_data()
{
    QTest::addColumn<QString>("videoQuery");
    QTest::addColumn<QString>("inPage"); // what follows the player prefix in the written page

    QTest::newRow("plain") << "/w5200109.js"
                           << "/w5200109.js";
    // The song page's "&amp;" was decoded by the lookup and stays a bare "&".
    QTest::newRow("ampersands unescaped") << "?wid=5200109&amp;autoplay=1&amp;width=640"
                                          << "?wid=5200109&autoplay=1&width=640";
    QTest::newRow("angle brackets as they are") << "?t=<b>&lt;"
                                                << "?t=<b>&lt;";
    QTest::newRow("non-ASCII in UTF-8") << "?title=晴天"
                                        << "?title=晴天";
}

void TestVideo::pageHoldsTheEmbedLine()
{
    QFETCH(QString, videoQuery);
    QFETCH(QString, inPage);
    auto window = makeWindow();
    lookUp(*window, QStringLiteral("5200109"), videoQuery);
    const QString address = m_server->base() + QStringLiteral("/video/player") + inPage;
    QCOMPARE(window->songRecord().videoAddress, address);

    window->Command8->click();

    const QString line =
        QStringLiteral("<div><script src=\"") + address + QStringLiteral("\" type=\"text/javascript\"></script></div>");
    QCOMPARE(fileBytes(pagePath()), line.toUtf8());
    QVERIFY(m_fakes.messageBox->shown.isEmpty());

    Form2 *shown = viewer(*window);
    QVERIFY(shown);
    QVERIFY(shown->isVisible());
    QCOMPARE(shown->Text1->text(), address);
    QCOMPARE(shown->Text2->text(), line);
}

void TestVideo::secondCommandOverwritesThePage()
{
    auto window = makeWindow();
    lookUp(*window, QStringLiteral("1"), QStringLiteral("?wid=1&amp;a_rather_long_query_that_is_longer=1"));
    window->Command8->click();
    QVERIFY(fileBytes(pagePath()).contains("a_rather_long_query"));
    viewer(*window)->close();
    QTRY_VERIFY(!viewer(*window));

    lookUp(*window, QStringLiteral("2"), QStringLiteral("?wid=2"));
    window->Command8->click();
    QCOMPARE(fileBytes(pagePath()), QByteArray("<div><script src=\"") + m_server->base().toUtf8() +
                                        "/video/player?wid=2\" type=\"text/javascript\"></script></div>");
    QCOMPARE(viewer(*window)->Text1->text(), m_server->base() + QStringLiteral("/video/player?wid=2"));
}

void TestVideo::noVideoTellsAndLeavesThePage_data()
{
    QTest::addColumn<bool>("lookedUp");
    QTest::addColumn<bool>("hadVideoBefore");
    QTest::newRow("nothing looked up yet") << false << false;
    QTest::newRow("work without video") << true << false;
    // The lookup empties the address, so the earlier work's video is not offered.
    QTest::newRow("after a work with video") << true << true;
}

void TestVideo::noVideoTellsAndLeavesThePage()
{
    QFETCH(bool, lookedUp);
    QFETCH(bool, hadVideoBefore);
    auto window = makeWindow();
    if (hadVideoBefore)
        lookUp(*window, QStringLiteral("1"), QStringLiteral("?wid=1"));
    if (lookedUp)
        lookUp(*window, QStringLiteral("2"), QString());
    const QByteArray earlier = "an earlier run's page, kept";
    writeBytes(pagePath(), earlier);

    window->Command8->click();

    QCOMPARE(m_fakes.messageBox->shown.size(), 1);
    const FakeMessageBox::Shown &box = m_fakes.messageBox->shown.first();
    QCOMPARE(box.title, QStringLiteral("Orvandel系列软件"));
    QCOMPARE(box.text, kNoVideo);
    QCOMPARE(box.icon, MessageBoxService::Icon::Information);
    QVERIFY(!box.question);
    QCOMPARE(window->status(), kNoVideo);
    QCOMPARE(fileBytes(pagePath()), earlier);
    QVERIFY(!viewer(*window));
}

void TestVideo::unwritablePageIsReportedNotShown()
{
    auto window = makeWindow();
    lookUp(*window, QStringLiteral("1"), QStringLiteral("?wid=1"));
    // A folder where the page should be: nothing can write the page there,
    // whoever runs the test.
    QVERIFY(QDir(m_folder->path()).mkdir(QStringLiteral("video.htm")));
    const QString before = window->status();

    window->Command8->click();

    QVERIFY(window->status() != before);
    QVERIFY(window->status().contains(QStringLiteral("video.htm")));
    QVERIFY(!viewer(*window));
    QVERIFY(m_fakes.messageBox->shown.isEmpty());
    QVERIFY(QFileInfo(pagePath()).isDir());
    QVERIFY(!window->hasEnded());
}

void TestVideo::viewerIsAFixedModalDialog()
{
    auto window = makeWindow();
    window->show();
    lookUp(*window, QStringLiteral("1"), QStringLiteral("?wid=1"));
    window->Command8->click();
    Form2 *shown = viewer(*window);
    QVERIFY(shown);
    QCOMPARE(shown->windowTitle(), QStringLiteral("获取MV"));
    QVERIFY(shown->windowIcon().isNull());
    QCOMPARE(shown->size(), QSize(634, 188));
    QCOMPARE(shown->minimumSize(), shown->maximumSize());
    QCOMPARE(shown->windowModality(), Qt::ApplicationModal);
    QVERIFY(QTest::qWaitForWindowExposed(shown));
    QCOMPARE(QApplication::activeModalWidget(), shown);
    QVERIFY(shown->isModal());
    // Centred on the screen as a whole, frame included.
    const QRect whole = shown->frameGeometry();
    QVERIFY(whole.size() != shown->size());
    QVERIFY((whole.center() - shown->screen()->availableGeometry().center()).manhattanLength() <= 1);
    // A screen reader tells the two fields apart.
    QCOMPARE(shown->Text1->accessibleName(), QStringLiteral("视频地址"));
    QCOMPARE(shown->Text2->accessibleName(), QStringLiteral("HTML调用代码"));
    // The viewer does not open the page by itself; Enter on its button does,
    // and Esc closes the viewer, which unloads it.
    QVERIFY(m_fakes.launcher->files.isEmpty());
    QVERIFY(m_fakes.launcher->addresses.isEmpty());
    shown->Command1->setFocus();
    QTest::keyClick(shown->Command1, Qt::Key_Return);
    QCOMPARE(m_fakes.launcher->files.size(), 1);
    const QPointer<Form2> gone = shown;
    QTest::keyClick(shown->Command1, Qt::Key_Escape);
    QTRY_VERIFY(gone.isNull());
}

void TestVideo::viewerControlsSitAtTheirPlaces_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("box");
    QTest::addColumn<QString>("caption");
    QTest::newRow("Frame1") << "Frame1"
                            << "Form2" << QRect(8, 16, 617, 81) << "视频信息";
    QTest::newRow("Text1") << "Text1"
                           << "Frame1" << QRect(96, 21, 513, 18) << "";
    QTest::newRow("Text2") << "Text2"
                           << "Frame1" << QRect(96, 44, 513, 18) << "";
    QTest::newRow("Label1") << "Label1"
                            << "Frame1" << QRect(16, 24, -1, -1) << "视频地址：";
    QTest::newRow("Label2") << "Label2"
                            << "Frame1" << QRect(16, 48, -1, -1) << "HTML调用代码：";
    QTest::newRow("Frame2") << "Frame2"
                            << "Form2" << QRect(8, 104, 617, 73) << "友情提示";
    QTest::newRow("Label3") << "Label3"
                            << "Frame2" << QRect(192, 32, -1, -1) << "已在当前文件夹下生成名为“video.htm”";
    QTest::newRow("Command1") << "Command1"
                              << "Frame2" << QRect(432, 16, 65, 41) << "立刻播放";
}

void TestVideo::viewerControlsSitAtTheirPlaces()
{
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, box);
    QFETCH(QString, caption);
    FakeLauncher launcher;
    FakeMessageBox boxes;
    Form2 form(launcher, boxes, FilePlaces::forProgramFolder(m_folder->path()), nullptr);
    auto *control = form.findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->parentWidget()->objectName(), parent);
    if (box.width() < 0)
        QCOMPARE(control->pos(), box.topLeft());
    else
        QCOMPARE(control->geometry(), box);
    if (auto *frame = qobject_cast<QGroupBox *>(control))
        QCOMPARE(frame->title(), caption);
    else if (auto *label = qobject_cast<Label *>(control))
        QCOMPARE(label->caption(), caption);
    else if (auto *button = qobject_cast<QPushButton *>(control))
        QCOMPARE(button->text(), caption);
    else
        QCOMPARE(qobject_cast<QLineEdit *>(control)->text(), caption);
}

void TestVideo::openButtonHandsThePageToTheBrowser()
{
    auto window = makeWindow();
    lookUp(*window, QStringLiteral("1"), QStringLiteral("?wid=1"));
    window->Command8->click();
    viewer(*window)->Command1->click();
    QCOMPARE(m_fakes.launcher->files, QStringList{pagePath()});
    QVERIFY(m_fakes.launcher->addresses.isEmpty());
    QVERIFY(m_fakes.messageBox->shown.isEmpty());
    // A launcher that starts nothing is said so: no browser, or no page any more.
    m_fakes.launcher->succeed = false;
    viewer(*window)->Command1->click();
    QVERIFY(QFile::remove(pagePath()));
    viewer(*window)->Command1->click();
    QCOMPARE(m_fakes.launcher->files.size(), 3);
    QVERIFY(viewer(*window)->isVisible());
    QCOMPARE(m_fakes.messageBox->shown.size(), 2);
    QVERIFY(m_fakes.messageBox->shown[0].text.contains(QStringLiteral("网页浏览器")));
    QVERIFY(m_fakes.messageBox->shown[1].text.contains(QStringLiteral("已不存在")));
}

void TestVideo::viewerNamesWhereThePageIs_data()
{
    QTest::addColumn<QString>("folder"); // an installed copy's page folder; empty: a portable copy
    QTest::addColumn<QString>("shown");  // the note's second line, as far as it shows
    QTest::newRow("portable") << QString() << QString();
    QTest::newRow("installed") << "/home/user/.cache/cantora-helper"
                               << "/home/user/.cache/cantora-helper";
    QTest::newRow("installed, long path") << "/home/" + QString(200, QLatin1Char('x')) + "/.cache/cantora-helper"
                                          << "…";
}

void TestVideo::viewerNamesWhereThePageIs()
{
    QFETCH(QString, folder);
    QFETCH(QString, shown);
    FilePlaces places = FilePlaces::forProgramFolder(m_folder->path());
    if (!folder.isEmpty()) {
        places.portable = false;
        places.videoPageFolder = folder;
    }
    FakeLauncher launcher;
    FakeMessageBox boxes;
    Form2 form(launcher, boxes, places, nullptr);
    const QString caption = form.Label3->caption();
    if (folder.isEmpty()) {
        QCOMPARE(caption, QStringLiteral("已在当前文件夹下生成名为“video.htm”"));
        return;
    }
    QVERIFY2(!caption.contains(QStringLiteral("当前文件夹")), qPrintable(caption));
    QVERIFY2(caption.section(QLatin1Char('\n'), 1).contains(shown), qPrintable(caption));
    QCOMPARE(form.Label3->toolTip(), folder);
    // The whole note stays inside its frame, clear of the open button, each
    // line as wide as the label at most.
    QVERIFY(form.Frame2->contentsRect().contains(form.Label3->geometry()));
    QVERIFY(!form.Label3->geometry().intersects(form.Command1->geometry()));
    const QStringList lines = form.Label3->text().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    for (const QString &line : lines)
        QVERIFY2(form.Label3->fontMetrics().horizontalAdvance(line) <= form.Label3->width(), qPrintable(line));
}

void TestVideo::closedViewerIsLoadedAfresh()
{
    auto window = makeWindow();
    lookUp(*window, QStringLiteral("1"), QStringLiteral("?wid=1"));
    window->Command8->click();
    QPointer<Form2> first = viewer(*window);
    QVERIFY(first);
    first->Text1->setText(QStringLiteral("edited by the user"));
    first->close();
    QTRY_VERIFY(!first);

    window->Command8->click();
    Form2 *second = viewer(*window);
    QVERIFY(second);
    QVERIFY(second->isVisible());
    QCOMPARE(second->Text1->text(), m_server->base() + QStringLiteral("/video/player?wid=1"));
}

// The demo's way: a work of the replica site, its page, and the player script
// the page loads.
void TestVideo::replicaSitePlaysTheLookedUpWork()
{
    m_server->setHandler(replicaSite(QStringLiteral(CANTORA_SITE_ROOT)));
    auto window = makeWindow();
    window->Text1->setText(m_server->base() + QStringLiteral("/s/5200109"));
    QVERIFY(lookUpAndWait(*window, window->Text1->text()));
    QVERIFY(window->aicAlphaImage2->isVisibleTo(window.get()));

    window->Command8->click();
    const QString page = QString::fromUtf8(fileBytes(pagePath()));
    const QString src = page.section(QLatin1Char('"'), 1, 1);
    QCOMPARE(src, m_server->base() + QStringLiteral("/video/player?wid=5200109&autoplay=1&width=640"));

    PageFetcher fetcher;
    const FetchResult script = fetcher.GetBody(src);
    QVERIFY(script.arrived());
    QCOMPARE(script.httpStatus, 200);
    QVERIFY(script.text.contains(QLatin1String("document.currentScript")));
}

QTEST_MAIN(TestVideo)
#include "tst_video.moc"
