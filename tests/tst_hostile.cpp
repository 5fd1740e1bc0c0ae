#include "app/controls.h"
#include "app/downloadpanel.h"
#include "app/form1.h"
#include "app/qtservices.h"
#include "app/songpanel.h"
#include "support/fakes.h"
#include "support/songpages.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

// Pages written to upset the window: markup, control characters, direction
// marks, very long runs and emoji in every fact the panels show.
class TestHostile final : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void factsShowAsText_data();
    void factsShowAsText();
    void messageBoxesShowText_data();
    void messageBoxesShowText();

private:
    std::unique_ptr<LoopbackServer> m_server;
    std::unique_ptr<QTemporaryDir> m_folder;
    FakePlatform m_fakes;
};

void TestHostile::init()
{
    m_server = std::make_unique<LoopbackServer>();
    QVERIFY(m_server->start());
    m_folder = std::make_unique<QTemporaryDir>();
}

void TestHostile::cleanup()
{
    m_server.reset();
    m_folder.reset();
}

void TestHostile::factsShowAsText_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("markup") << QStringLiteral("<b>粗</b><img src=x onerror=alert(1)>&lt;");
    QTest::newRow("control characters") << QStringLiteral("行一\r\n行二\t\x01\x07\x1b[31m");
    QTest::newRow("line separators") << QStringLiteral("甲\u2028乙\u2029丙");
    QTest::newRow("right-to-left marks") << QStringLiteral("\u202Eabc\u200F\u202Bxyz");
    QTest::newRow("10,000 characters") << QString(10000, QLatin1Char('W'));
    QTest::newRow("1,000,000 characters") << QString(1000000, QLatin1Char('W'));
    QTest::newRow("cut at a surrogate pair") << QString(kShownTextMax - 1, QLatin1Char('W')) + QStringLiteral("🎤🎤");
    QTest::newRow("emoji") << QStringLiteral("🎤🎶👩‍🎤🇨🇳");
    QTest::newRow("rich text header") << QStringLiteral("<html><h1>大</h1></html>");
    QTest::newRow("path and shell characters") << QStringLiteral("../../x; rm -rf ~ `id` $(id) | C:\\x*?\"");
}

void TestHostile::factsShowAsText()
{
    QFETCH(QString, text);
    // The facts are cut up to the next "<" or "-", so each field gets what it can carry.
    QString field = text;
    field.remove(QLatin1Char('<')).remove(QLatin1Char('-'));
    SongPage song;
    song.title = field;
    song.singer = field;
    song.description = field;
    song.plays = field;
    song.videoQuery = QStringLiteral("?wid=1");
    SongSite site;
    site.page(QStringLiteral("1"), song);
    site.file(QStringLiteral("/version/main.txt"), "kw:V3.3|", "text/plain");
    site.file(QStringLiteral("/userPage.php"), "<a data-id=\"1\">" + field.toUtf8() + "<a data-id=\"2\">", "text/html");
    m_server->setHandler(site.handler(m_server->base()));

    Form1 window(testConfig(m_server->base(), m_folder->path()), m_fakes.make());
    QVERIFY(loadAndWait(window));
    const QRect label1 = window.Label1->geometry();
    const QRect label10 = window.Label10->geometry();
    const QRect picture2 = window.Picture2->geometry();
    window.Text1->setText(m_server->base() + QStringLiteral("/s/1"));
    QVERIFY(lookUpAndWait(window, window.Text1->text()));

    // The facts arrive whole, as text.
    QCOMPARE(window.songPanel().songTitle(), field.trimmed());
    QCOMPARE(window.songRecord().singerName, field.trimmed());
    QCOMPARE(window.Label10->caption(), field.trimmed());
    // What they show is plain text of a length that lays out without a pause.
    for (const Label *label : window.findChildren<Label *>()) {
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QVERIFY(label->text().size() <= kShownTextMax + 1);
        QVERIFY(!label->text().back().isHighSurrogate());
    }

    // One-line labels stay one line high; the boxes and the window keep their places.
    QCOMPARE(window.Label1->height(), label1.height());
    QCOMPARE(window.Label2->height(), label1.height());
    QCOMPARE(window.Label5->height(), label1.height());
    QVERIFY(!window.Label1->text().contains(QLatin1Char('\n')));
    QCOMPARE(window.Label10->geometry(), label10);
    QCOMPARE(window.Picture2->geometry(), picture2);
    QCOMPARE(window.size(), QSize(Form1::kClientWidth, Form1::kClientHeight));
    QCOMPARE(window.aicAlphaImage2->y(), 8);
    // It still paints.
    QVERIFY(!window.grab().isNull());

    // The download goes into the Music folder under a name made of the text.
    window.Command2->click();
    const QFileInfo target(window.downloadPanel().downloadPath());
    QCOMPARE(target.absolutePath(), QDir(m_folder->path()).absoluteFilePath(QStringLiteral("Music")));
    QVERIFY(target.fileName().endsWith(QLatin1String(".mp3")));
    QVERIFY(target.fileName().toUtf8().size() <= 255);

    // As a harvested title it is listed the same way, and kept whole.
    window.Text2->setText(m_server->base() + QStringLiteral("/userPage.php?uid=7"));
    window.Command10->click();
    QTRY_VERIFY(window.Command10->isEnabled());
    const QTreeWidgetItem *row = window.ListView1->topLevelItem(0);
    QVERIFY(row);
    QVERIFY(row->text(2).size() <= kShownTextMax + 1);
    const QVariant whole = row->data(2, Qt::UserRole);
    QCOMPARE(whole.isValid() ? whole.toString() : row->text(2), field);
    QVERIFY(!window.grab().isNull());
}

void TestHostile::messageBoxesShowText_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("link and picture") << QStringLiteral(
        "[<a href=\"file:///etc/passwd\">V9</a><img src=\"x\" width=\"800\" height=\"10070\">]");
    QTest::newRow("10,000 lines") << QStringLiteral("行\r\n甲\u2028").repeated(5000);
    QTest::newRow("one 100,000-letter word") << QString(100000, QLatin1Char('W'));
}

void TestHostile::messageBoxesShowText()
{
    QFETCH(QString, text);
    QString shown;
    Qt::TextFormat format = Qt::AutoText;
    QSize box;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
        if (auto *dialog = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            const auto *label = dialog->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
            std::tie(shown, format, box) = std::tuple(label->text(), label->textFormat(), dialog->size());
            dialog->accept();
        }
    });
    closer.start(20);
    QtMessageBoxService().inform(nullptr, Handlers::kBoxTitle, text, MessageBoxService::Icon::Information);
    // The text itself, from its start, in a box that fits on the screen.
    QCOMPARE(format, Qt::PlainText);
    QVERIFY(shown == text || (shown.endsWith(QChar(0x2026)) && text.startsWith(shown.chopped(1))));
    QCOMPARE(QGuiApplication::primaryScreen()->availableSize().boundedTo(box), box);
}

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
