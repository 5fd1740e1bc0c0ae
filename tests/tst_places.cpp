#include "config/fileplaces.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

class TestPlaces final : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void placesFollowTheProgramFolder_data();
    void placesFollowTheProgramFolder();

private:
    QTemporaryDir m_home; // the user's home, with no folder settings of its own
};

void TestPlaces::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("HOME", QFile::encodeName(m_home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral(".config"))));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_home.filePath(QStringLiteral(".cache"))));
}

void TestPlaces::placesFollowTheProgramFolder_data()
{
    // {s} stands for a scratch folder, {h} for the user's home.
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("music");
    QTest::addColumn<QString>("videoPage");
    const QString music = QStringLiteral("{h}/Music"), cache = QStringLiteral("{h}/.cache/cantora-helper");
    const QString scratch = QStringLiteral("{s}");
    QTest::newRow("writable folder") << scratch << false << QStringLiteral("{s}/Music") << scratch;
    // Root writes through permission bits; the row needs a normal user.
    if (geteuid() != 0)
        QTest::newRow("read-only folder") << scratch << true << music << cache;
    QTest::newRow("system file system") << QStringLiteral("/proc/self") << false << music << cache;
    QTest::newRow("installed, even for root") << QStringLiteral("/usr/bin") << false << music << cache;
    QTest::newRow("folder that is not there") << QStringLiteral("{s}/gone/bin") << false << music << cache;
}

void TestPlaces::placesFollowTheProgramFolder()
{
    QFETCH(QString, folder);
    QFETCH(bool, readOnly);
    QFETCH(QString, music);
    QFETCH(QString, videoPage);
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    for (QString *path : {&folder, &music, &videoPage})
        path->replace(QLatin1String("{s}"), scratch.path()).replace(QLatin1String("{h}"), m_home.path());
    if (readOnly)
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));

    const FilePlaces places = FilePlaces::forProgramFolder(folder);
    QFile::setPermissions(scratch.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(places.downloadFolder, music);
    QCOMPARE(places.videoPageFolder, videoPage);
    QCOMPARE(places.downloadNote(),
             places.portable ? QStringLiteral("默认路径：当前程序文件目录下“Music”文件夹中( 音乐名称自动填写 )")
                             : QStringLiteral("默认路径：“%1”文件夹中( 音乐名称自动填写 )").arg(music));
    // Finding out leaves nothing behind and makes no folder.
    QCOMPARE(QDir(scratch.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

QTEST_GUILESS_MAIN(TestPlaces)
#include "tst_places.moc"
