#include "update/updatecheck.h"

#include <QtTest>

Q_DECLARE_METATYPE(update::Outcome)

class TestUpdateCheck final : public QObject
{
    Q_OBJECT
private slots:
    void judge_data();
    void judge();
    void announcementHasThreeLines();
};

void TestUpdateCheck::judge_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<update::Outcome>("outcome");
    QTest::addColumn<QString>("version");
    using update::Outcome;
    QTest::newRow("exactly ours") << "kw:V3.3|" << Outcome::Current << "V3.3";
    QTest::newRow("among other entries") << "xx:V1.0|kw:V3.3|yy:V2.0|" << Outcome::Current << "V3.3";
    QTest::newRow("first of two entries counts") << "kw:V3.3|kw:V3.4|" << Outcome::Current << "V3.3";
    QTest::newRow("with a line break after") << "kw:V3.3|\r\n" << Outcome::Current << "V3.3";
    QTest::newRow("newer version") << "kw:V3.4|" << Outcome::OtherVersion << "V3.4";
    QTest::newRow("blank after colon") << "kw: V3.3|" << Outcome::OtherVersion << " V3.3";
    QTest::newRow("lower-case v") << "kw:v3.3|" << Outcome::OtherVersion << "v3.3";
    QTest::newRow("no bar") << "kw:V3.3" << Outcome::OtherVersion << "";
    QTest::newRow("no key") << "V3.3|" << Outcome::OtherVersion << "";
    QTest::newRow("key in other case") << "KW:V3.3|" << Outcome::OtherVersion << "";
    QTest::newRow("error page") << "<html>404 Not Found</html>" << Outcome::OtherVersion << "";
    QTest::newRow("empty file") << "" << Outcome::Unreadable << "";
}

void TestUpdateCheck::judge()
{
    QFETCH(QString, file);
    QFETCH(update::Outcome, outcome);
    QFETCH(QString, version);
    const update::Verdict verdict = update::judge(file);
    QCOMPARE(verdict.outcome, outcome);
    QCOMPARE(verdict.version, version);
}

void TestUpdateCheck::announcementHasThreeLines()
{
    QCOMPARE(update::announcement(QStringLiteral("V3.4")),
             QStringLiteral("发现最新版本![V3.4]\r\n \r\n确定后自动打开官方论坛!"));
    QCOMPARE(update::announcement(QString()), QStringLiteral("发现最新版本![]\r\n \r\n确定后自动打开官方论坛!"));
}

QTEST_APPLESS_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
