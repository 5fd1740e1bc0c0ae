#include "arrival.h"
#include "literalfill.h"
#include "works/harvest.h"

#include <QRandomGenerator>
#include <QtTest>

using works::HarvestSlots;
using works::WorkRow;

namespace {

// Rows written as "number|id|title", one string per row, for readable diffs.
QStringList flatten(const std::vector<WorkRow> &rows)
{
    QStringList out;
    for (const WorkRow &row : rows)
        out << QString::number(row.number) + QLatin1Char('|') + row.id + QLatin1Char('|') + row.title;
    return out;
}

HarvestSlots slotsWith(const QString &page, const QString &oldPiece = {}, const QString &oldText = {})
{
    HarvestSlots slot;
    slot[0] = page;
    slot[1] = oldPiece;
    slot[2] = QStringLiteral("stale id");
    slot[3] = oldText;
    slot[4] = QStringLiteral("stale title");
    slot[5] = QStringLiteral("service answer");
    return slot;
}

// The list filler with the page work done while the page arrived: slot 0 is
// fed to the scan in pieces of up to `piece` characters, into a text that
// grows (and moves) as a download's does.
std::vector<WorkRow> fillWhileArriving(HarvestSlots &slot, qint16 count, int piece, qint16 *scanned = nullptr)
{
    works::PageScan scan;
    slot[0] = arriveInPieces(scan, slot[0], piece);
    if (scanned)
        *scanned = scan.markerCount();
    return works::fillRows(slot, count, scan);
}

// Pages built from the pieces the filler reacts to, in any order: markers
// with and without their quote, ids from a small pool (so they repeat), ids
// closed by ">" or by another attribute, stray quotes, brackets and letters.
QString randomPage(QRandomGenerator &random)
{
    static const QStringList parts{
        "data-id=\"",
        "data-id=",
        "data-id=\"11\">",
        "data-id=\"22\">",
        "data-id=\"11\" class=\"w\">",
        "data-id=\"\">",
        "data-id=\">data-id=\">",
        "11",
        "22",
        "\"",
        "\">",
        ">",
        "<",
        "</a>",
        "Alpha",
        "歌名",
        " ",
        "d",
        "data-",
        "id=",
        "=\"",
    };
    QString page;
    const int count = random.bounded(0, 40);
    for (int i = 0; i < count; ++i)
        page += parts[random.bounded(int(parts.size()))];
    return page;
}

} // namespace

class TestWorksFill final : public QObject
{
    Q_OBJECT
private slots:
    void markerCount_data();
    void markerCount();
    void markerCountStopsAtItsLargestValue();
    void rowsAndSlots_data();
    void rowsAndSlots();
    void slotsCarryOverToTheNextHarvest();
    void fastFillerMatchesTheLiteralOneOnGeneratedPages();
    void fastFillerMatchesTheLiteralOneOnSitePages();
};

void TestWorksFill::markerCount_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("count");
    QTest::newRow("none") << "<html></html>" << 0;
    QTest::newRow("empty page") << "" << 0;
    QTest::newRow("without quote counts too") << "data-id=1 data-id=\"2\">" << 2;
    QTest::newRow("other letter case does not count") << "DATA-ID=\"1\" Data-Id=\"2\"" << 0;
    QTest::newRow("back to back") << "data-id=data-id=data-id=" << 3;
}

void TestWorksFill::markerCount()
{
    QFETCH(QString, page);
    QFETCH(int, count);
    QCOMPARE(int(works::countMarkers(page)), count);
    QCOMPARE(int(literal::countMarkers(page)), count);
}

void TestWorksFill::markerCountStopsAtItsLargestValue()
{
    const QString page = QStringLiteral("data-id=").repeated(32769);
    QCOMPARE(works::countMarkers(page), qint16(32767));
    QCOMPARE(literal::countMarkers(page), qint16(32767));

    // One row fewer than the count, however many markers there were.
    HarvestSlots slot = slotsWith(page);
    const std::vector<WorkRow> rows = works::fillRows(slot, works::countMarkers(page));
    QCOMPARE(int(rows.size()), 32766);
    QCOMPARE(rows.back().number, 32766);

    // Past the rows' markers, later full markers still end a row's text or
    // give an id without one of its own its title, read while arriving too.
    QString big;
    for (int i = 0; i < 40000; ++i) {
        const int id = i < 32766 ? i % 20000 : i % 37;
        const QString entry =
            i % 5000 == 7 ? QStringLiteral("<i data-id=\"%1\" x=%2>") : QStringLiteral("<i data-id=\"%1\">t%2</i>");
        big += entry.arg(id).arg(i);
    }
    HarvestSlots direct = slotsWith(big);
    HarvestSlots streamed = slotsWith(big);
    qint16 scanned = 0;
    const QStringList expected = flatten(works::fillRows(direct, works::countMarkers(big)));
    QCOMPARE(flatten(fillWhileArriving(streamed, works::countMarkers(big), 65537, &scanned)), expected);
    QCOMPARE(scanned, qint16(32767));
    QVERIFY(streamed == direct);
}

void TestWorksFill::rowsAndSlots_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("oldPiece");
    QTest::addColumn<QString>("oldText");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("after"); // slots 1 to 4

    const QString threeWorks = "<ul><li data-id=\"11\">Alpha</li><li data-id=\"22\">Beta</li>"
                               "<li data-id=\"33\">Gamma</li></ul>";
    QTest::newRow("three works give two rows")
        << threeWorks << ""
        << "" << QStringList{"1|11|Alpha", "2|22|Beta"}
        << QStringList{"22\">Beta</li><li ", "22", "Beta</li><li data-id=\"33\">Gamma</li></ul>", "Beta"};

    QTest::newRow("one marker gives no row")
        << "<a data-id=\"11\">Alpha</a>"
        << "old piece"
        << "old<text" << QStringList{} << QStringList{"old piece", "stale id", "old<text", "stale title"};

    QTest::newRow("an id that occurs twice takes its first title")
        << "data-id=\"11\">First<br>data-id=\"22\">Second<br>data-id=\"11\">Again<br>data-id=\"9\">"
        << ""
        << "" << QStringList{"1|11|First", "2|22|Second", "3|11|First"}
        << QStringList{"11\">Again<br>", "11", "First<br>data-id=\"22\">Second<br>", "First"};

    QTest::newRow("another attribute before the bracket keeps the previous title")
        << "data-id=\"11\">Alpha<i>data-id=\"44\" class=\"hot\">Delta<i>data-id=\"55\">E<"
        << ""
        << "" << QStringList{"1|11|Alpha", "2|44|Alpha"}
        << QStringList{"44\" class=\"hot\">Delta<i>", "44",
                       "Alpha<i>data-id=\"44\" class=\"hot\">Delta<i>data-id=\"55\">E<", "Alpha"};

    QTest::newRow("first row of a harvest takes the title of the earlier text")
        << "data-id=\"44\" x=\"1\">Delta<data-id=\"55\">"
        << ""
        << "Earlier<b>" << QStringList{"1|44|Earlier"}
        << QStringList{"44\" x=\"1\">Delta<", "44", "Earlier<b>", "Earlier"};

    QTest::newRow("first row after start-up has an empty title")
        << "data-id=\"44\" x=\"1\">Delta<data-id=\"55\">"
        << ""
        << "" << QStringList{"1|44|"} << QStringList{"44\" x=\"1\">Delta<", "44", "", ""};

    QTest::newRow("markers without their quote repeat the piece before")
        << "data-id=\"11\">Alpha<data-id=12>B<data-id=13>C<"
        << ""
        << "" << QStringList{"1|11|Alpha", "2|11|Alpha"}
        << QStringList{"11\">Alpha<data-id=12>B<data-id=13>C<", "11", "Alpha<data-id=12>B<data-id=13>C<", "Alpha"};

    QTest::newRow("no quoted marker at all keeps the earlier piece")
        << "data-id=1 data-id=2"
        << "77\">x"
        << "" << QStringList{"1|77|"} << QStringList{"77\">x", "77", "", ""};

    QTest::newRow("an id without a closing quote is empty")
        << "data-id=\"11>Alpha<data-id=\"22"
        << ""
        << "keep<me" << QStringList{"1||keep"} << QStringList{"11>Alpha<", "", "keep<me", "keep"};

    QTest::newRow("a title without a bracket after it is empty")
        << "data-id=\"11\">Alpha data-id=\"22\">Beta"
        << ""
        << "" << QStringList{"1|11|"} << QStringList{"11\">Alpha ", "11", "Alpha data-id=\"22\">Beta", ""};

    QTest::newRow("a bracket past the next full marker of the id is not the title's")
        << "data-id=\"11\">A data-id=\"11\">B<data-id=\"9\">"
        << ""
        << "" << QStringList{"1|11|", "2|11|"} << QStringList{"11\">B<", "11", "A ", ""};

    QTest::newRow("entities stay as written")
        << "data-id=\"11\">Tom &amp; Jerry<data-id=\"0\">"
        << ""
        << "" << QStringList{"1|11|Tom &amp; Jerry"}
        << QStringList{"11\">Tom &amp; Jerry<", "11", "Tom &amp; Jerry<data-id=\"0\">", "Tom &amp; Jerry"};
}

void TestWorksFill::rowsAndSlots()
{
    QFETCH(QString, page);
    QFETCH(QString, oldPiece);
    QFETCH(QString, oldText);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, after);

    for (const bool fast : {true, false}) {
        HarvestSlots slot = slotsWith(page, oldPiece, oldText);
        const qint16 count = fast ? works::countMarkers(page) : literal::countMarkers(page);
        const std::vector<WorkRow> got = fast ? works::fillRows(slot, count) : literal::fillRows(slot, count);
        QCOMPARE(flatten(got), rows);
        QCOMPARE((QStringList{slot[1], slot[2], slot[3], slot[4]}), after);
        QCOMPARE(slot[0], page);
        QCOMPARE(slot[5], QStringLiteral("service answer"));
    }
}

void TestWorksFill::slotsCarryOverToTheNextHarvest()
{
    HarvestSlots slot = slotsWith("data-id=\"11\">Alpha<data-id=\"22\">Beta<data-id=\"33\">");
    works::fillRows(slot, works::countMarkers(slot[0]));
    slot[0] = "data-id=\"44\" x=\"\">Delta<data-id=\"55\">";
    const std::vector<WorkRow> second = works::fillRows(slot, works::countMarkers(slot[0]));
    // Numbered from 1 again; the title is the one the first harvest ended with.
    QCOMPARE(flatten(second), QStringList{"1|44|Beta"});
}

void TestWorksFill::fastFillerMatchesTheLiteralOneOnGeneratedPages()
{
    QRandomGenerator random(20240611);
    HarvestSlots fast;
    HarvestSlots reference;
    for (int round = 0; round < 4000; ++round) {
        // Slots carry over from round to round as they do from harvest to
        // harvest; now and then a round starts from a fresh window.
        if (round % 50 == 0)
            fast = reference = HarvestSlots{};
        fast[0] = reference[0] = randomPage(random);
        if (random.bounded(8) == 0)
            fast[1] = reference[1] = randomPage(random);
        if (random.bounded(8) == 0)
            fast[3] = reference[3] = randomPage(random);

        qint16 count = literal::countMarkers(reference[0]);
        QCOMPARE(works::countMarkers(fast[0]), count);
        // Now and then fewer rows than markers, as on a page past the count's largest value.
        if (random.bounded(4) == 0)
            count = qint16(random.bounded(count + 1));
        HarvestSlots streamed = fast;
        const QStringList expected = flatten(literal::fillRows(reference, count));
        const QStringList got = flatten(works::fillRows(fast, count));
        QVERIFY2(got == expected, qPrintable(QStringLiteral("page: ") + fast[0]));
        // Every fourth round also as read while the page arrived.
        qint16 scanned = 0;
        if (round % 4 == 0) {
            QCOMPARE(flatten(fillWhileArriving(streamed, count, 1 + random.bounded(12), &scanned)), expected);
            QCOMPARE(scanned, literal::countMarkers(reference[0]));
            QVERIFY(streamed == reference);
        }
        for (int i = 0; i < works::kSlotCount; ++i)
            QVERIFY2(fast[i] == reference[i], qPrintable(QStringLiteral("slot %1 of page: %2").arg(i).arg(fast[0])));
    }
}

void TestWorksFill::fastFillerMatchesTheLiteralOneOnSitePages()
{
    // Pages shaped like the site's: many works, ids of various lengths, some
    // repeated, some entries with an extra attribute, a closing marker.
    QRandomGenerator random(7);
    for (int round = 0; round < 40; ++round) {
        QString page = QStringLiteral("<html><body><ul class=\"works\">");
        const int works = random.bounded(0, 300);
        for (int w = 0; w < works; ++w) {
            const QString id = QString::number(random.bounded(1, works / 2 + 2)) + QStringLiteral("109");
            const QString extra = random.bounded(20) == 0 ? QStringLiteral("\" data-hot=\"1") : QString();
            page += QStringLiteral("<li><a href=\"/s/%1\" data-id=\"%1%2\">作品 %3</a></li>").arg(id, extra).arg(w);
        }
        page += QStringLiteral("</ul><a class=\"more\" data-id=\"0\">更多</a></body></html>");

        HarvestSlots fast = slotsWith(page);
        HarvestSlots reference = fast;
        const qint16 count = works::countMarkers(page);
        QCOMPARE(flatten(works::fillRows(fast, count)), flatten(literal::fillRows(reference, count)));
        QVERIFY(fast == reference);
    }
}

QTEST_APPLESS_MAIN(TestWorksFill)
#include "tst_worksfill.moc"
