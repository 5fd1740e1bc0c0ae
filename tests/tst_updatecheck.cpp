#include "config/appconfig.h"
#include "update/retryschedule.h"
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
    void retriesWaitLongerUpToTheLongest_data();
    void retriesWaitLongerUpToTheLongest();
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

void TestUpdateCheck::retriesWaitLongerUpToTheLongest_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("longest");
    QTest::addColumn<QList<int>>("waits");
    QTest::addColumn<QStringList>("said"); // the status line at the start of each wait, when given
    const AppConfig shipped;
    QTest::newRow("as shipped: within 30 s, then at most every 10 min")
        << shipped.updateRetryFirstMs << shipped.updateRetryLongestMs
        << QList<int>{20000, 40000, 80000, 160000, 320000, 600000, 600000}
        << QStringList{"20 秒", "40 秒", "1 分 20 秒", "2 分 40 秒", "5 分 20 秒", "10 分钟", "10 分钟"};
    QTest::newRow("first longer than the longest") << 900 << 500 << QList<int>{500, 500} << QStringList{"1 秒", "1 秒"};
    QTest::newRow("no overflow near the end of int")
        << 0x50000000 << 0x7fffffff << QList<int>{0x50000000, 0x7fffffff, 0x7fffffff} << QStringList();
}

void TestUpdateCheck::retriesWaitLongerUpToTheLongest()
{
    QFETCH(int, first);
    QFETCH(int, longest);
    QFETCH(QList<int>, waits);
    QFETCH(QStringList, said);
    update::RetrySchedule schedule(first, longest);
    QList<int> got;
    for (qsizetype i = 0; i < waits.size(); ++i)
        got << schedule.nextWaitMs();
    QCOMPARE(got, waits);
    for (qsizetype i = 0; i < said.size(); ++i)
        QCOMPARE(update::retryText(waits[i]),
                 QStringLiteral("检测更新失败, ") + said[i] + QStringLiteral("后自动重试.."));
}

QTEST_APPLESS_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
