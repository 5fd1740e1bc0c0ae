#include "page/textcut.h"

#include <QtTest>

class TestTextCut final : public QObject
{
    Q_OBJECT
private slots:
    void after_data();
    void after();
    void before_data();
    void before();
    void piece_data();
    void piece();
    void trimBlanks_data();
    void trimBlanks();
};

void TestTextCut::after_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("marker");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("expected");
    QTest::newRow("rest after first") << "a-b-c"
                                      << "-" << true << "b-c";
    QTest::newRow("marker at end") << "abc:"
                                   << ":" << true << "";
    QTest::newRow("missing") << "abc"
                             << "x" << false << "";
    QTest::newRow("case matters") << "<TITLE>x"
                                  << "<title>" << false << "";
    QTest::newRow("chinese marker") << "歌手Cantora后"
                                    << "Cantora" << true << "后";
}

void TestTextCut::after()
{
    QFETCH(QString, text);
    QFETCH(QString, marker);
    QFETCH(bool, found);
    QFETCH(QString, expected);
    const std::optional<QStringView> result = textcut::after(text, marker);
    QCOMPARE(result.has_value(), found);
    if (found)
        QCOMPARE(*result, expected);
}

void TestTextCut::before_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("marker");
    QTest::addColumn<QString>("expected");
    QTest::newRow("before first") << "a<b<c"
                                  << "<"
                                  << "a";
    QTest::newRow("missing gives empty") << "abc"
                                         << "<"
                                         << "";
    QTest::newRow("at start") << "<abc"
                              << "<"
                              << "";
}

void TestTextCut::before()
{
    QFETCH(QString, text);
    QFETCH(QString, marker);
    QFETCH(QString, expected);
    QCOMPARE(textcut::before(text, marker), expected);
}

void TestTextCut::piece_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("marker");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("expected");
    QTest::newRow("piece 0") << "x|a|b"
                             << "|" << 0 << true << "x";
    QTest::newRow("piece 1 up to next") << "x|a|b"
                                        << "|" << 1 << true << "a";
    QTest::newRow("last piece to end") << "x|a|b"
                                       << "|" << 2 << true << "b";
    QTest::newRow("past the end") << "x|a|b"
                                  << "|" << 3 << false << "";
    QTest::newRow("no marker, piece 1") << "xab"
                                        << "|" << 1 << false << "";
    QTest::newRow("adjacent markers") << "kw:kw:V"
                                      << "kw:" << 1 << true << "";
    QTest::newRow("multi-char marker") << "a data-id=\"1\" data-id=\"2\""
                                       << "data-id=\"" << 2 << true << "2\"";
}

void TestTextCut::piece()
{
    QFETCH(QString, text);
    QFETCH(QString, marker);
    QFETCH(int, index);
    QFETCH(bool, found);
    QFETCH(QString, expected);
    const std::optional<QStringView> result = textcut::piece(text, marker, index);
    QCOMPARE(result.has_value(), found);
    if (found)
        QCOMPARE(*result, expected);
}

void TestTextCut::trimBlanks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("blanks both ends") << "  ab c  "
                                      << "ab c";
    QTest::newRow("tabs and newlines stay") << "\t ab \n"
                                            << "\t ab \n";
    QTest::newRow("only blanks") << "   "
                                 << "";
    QTest::newRow("ideographic space stays") << "\u3000歌手 "
                                             << "\u3000歌手";
}

void TestTextCut::trimBlanks()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(textcut::trimBlanks(text), expected);
}

QTEST_APPLESS_MAIN(TestTextCut)
#include "tst_textcut.moc"
