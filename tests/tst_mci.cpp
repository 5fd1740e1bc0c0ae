#include "player/mcicommand.h"
#include "player/mciinterpreter.h"
#include "player/mediadevice.h"

#include <QtTest>

Q_DECLARE_METATYPE(mci::Verb)

namespace {

// Records what the interpreter does to its device.
struct DeviceLog
{
    QStringList calls;
    int alive = 0;
};

class LoggingDevice final : public MediaDevice
{
public:
    explicit LoggingDevice(DeviceLog &log, bool accept = true)
        : m_log(log)
        , m_accept(accept)
    {
        ++m_log.alive;
    }
    ~LoggingDevice() override
    {
        --m_log.alive;
        m_log.calls << QStringLiteral("closed");
    }
    bool open(const QUrl &source) override
    {
        m_log.calls << QStringLiteral("open ") + source.toString();
        return m_accept;
    }
    void play() override { m_log.calls << QStringLiteral("play"); }
    void setVolume(int volume) override { m_log.calls << QStringLiteral("volume %1").arg(volume); }
    qint64 position() const override { return 0; }
    bool atEnd() const override { return false; }

private:
    DeviceLog &m_log;
    bool m_accept;
};

} // namespace

class TestMci final : public QObject
{
    Q_OBJECT
private slots:
    void parsesTheFiveCommands_data();
    void parsesTheFiveCommands();
    void rejectsMalformed_data();
    void rejectsMalformed();
    void playSequenceDrivesOneDevice();
    void closeWithNothingOpenIsHarmless();
    void openWhileOpenIsRefused();
    void failedOpenLeavesNothingOpen();
    void sourceForAddress_data();
    void sourceForAddress();
};

void TestMci::parsesTheFiveCommands_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<mci::Verb>("verb");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("volume");
    QTest::newRow("close alias") << "close OpenFile" << mci::Verb::Close << "" << 0;
    QTest::newRow("close all") << "close all" << mci::Verb::CloseAll << "" << 0;
    QTest::newRow("play") << "play OpenFile" << mci::Verb::Play << "" << 0;
    QTest::newRow("volume full") << "setaudio OpenFile volume to 1000" << mci::Verb::SetVolume << "" << 1000;
    QTest::newRow("volume silent") << "setaudio OpenFile volume to 0" << mci::Verb::SetVolume << "" << 0;
    QTest::newRow("open") << "open http://h/userdata/userwork/a123/1.mp3 alias OpenFile type MPEGVideo"
                          << mci::Verb::Open << "http://h/userdata/userwork/a123/1.mp3" << 0;
    QTest::newRow("open address with blanks") << "open http://h/my song alias x.mp3 alias OpenFile type MPEGVideo"
                                              << mci::Verb::Open << "http://h/my song alias x.mp3" << 0;
    QTest::newRow("keywords in any case") << "CLOSE ALL" << mci::Verb::CloseAll << "" << 0;
}

void TestMci::parsesTheFiveCommands()
{
    QFETCH(QString, command);
    QFETCH(mci::Verb, verb);
    QFETCH(QString, address);
    QFETCH(int, volume);
    mci::Result error = mci::Result::Ok;
    const std::optional<mci::Command> parsed = mci::parse(command, &error);
    QVERIFY(parsed.has_value());
    QCOMPARE(parsed->verb, verb);
    QCOMPARE(parsed->address, address);
    QCOMPARE(parsed->volume, volume);
}

void TestMci::rejectsMalformed_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("result");
    QTest::newRow("empty") << "" << int(mci::Result::UnrecognizedCommand);
    QTest::newRow("unknown verb") << "stop OpenFile" << int(mci::Result::UnrecognizedCommand);
    QTest::newRow("play without alias") << "play" << int(mci::Result::MissingParameter);
    QTest::newRow("play other alias") << "play Other" << int(mci::Result::InvalidDeviceName);
    QTest::newRow("close other alias") << "close Music" << int(mci::Result::InvalidDeviceName);
    QTest::newRow("volume not a number") << "setaudio OpenFile volume to loud" << int(mci::Result::BadInteger);
    QTest::newRow("volume too high") << "setaudio OpenFile volume to 1001" << int(mci::Result::OutOfRange);
    QTest::newRow("volume negative") << "setaudio OpenFile volume to -1" << int(mci::Result::OutOfRange);
    QTest::newRow("volume missing") << "setaudio OpenFile volume to" << int(mci::Result::MissingParameter);
    QTest::newRow("open without address") << "open alias OpenFile type MPEGVideo" << int(mci::Result::MissingParameter);
    QTest::newRow("open without alias clause") << "open http://h/1.mp3" << int(mci::Result::MissingParameter);
    QTest::newRow("open with trailing words")
        << "open http://h/1.mp3 alias OpenFile type MPEGVideo wait" << int(mci::Result::MissingParameter);
}

void TestMci::rejectsMalformed()
{
    QFETCH(QString, command);
    QFETCH(int, result);
    DeviceLog log;
    MciInterpreter interpreter([&] { return std::make_unique<LoggingDevice>(log); });
    QCOMPARE(interpreter.sendString(command), result);
    QVERIFY(log.calls.isEmpty());
}

void TestMci::playSequenceDrivesOneDevice()
{
    DeviceLog log;
    MciInterpreter interpreter([&] { return std::make_unique<LoggingDevice>(log); });
    const QString address = QStringLiteral("http://127.0.0.1:1/userdata/userwork/a109/7.mp3");
    QCOMPARE(interpreter.sendString("close OpenFile"), int(mci::Result::InvalidDeviceName));
    QCOMPARE(interpreter.sendString("open " + address + " alias OpenFile type MPEGVideo"), 0);
    QCOMPARE(interpreter.sendString("play OpenFile"), 0);
    QCOMPARE(interpreter.sendString("setaudio OpenFile volume to 350"), 0);
    QVERIFY(interpreter.isOpen());
    QCOMPARE(log.calls, QStringList({"open " + address, "play", "volume 350"}));

    // The next play closes the stream before opening another.
    QCOMPARE(interpreter.sendString("close OpenFile"), 0);
    QCOMPARE(log.alive, 0);
    QCOMPARE(interpreter.sendString("open " + address + " alias OpenFile type MPEGVideo"), 0);
    QCOMPARE(interpreter.sendString("close all"), 0);
    QCOMPARE(log.alive, 0);
    QVERIFY(!interpreter.isOpen());
    QCOMPARE(interpreter.sendString("setaudio OpenFile volume to 10"), int(mci::Result::InvalidDeviceName));
}

void TestMci::closeWithNothingOpenIsHarmless()
{
    MciInterpreter interpreter([] { return nullptr; });
    QCOMPARE(interpreter.sendString("close all"), 0);
    QCOMPARE(interpreter.sendString("close all"), 0);
    QVERIFY(interpreter.sendString("play OpenFile") != 0);
}

void TestMci::openWhileOpenIsRefused()
{
    DeviceLog log;
    MciInterpreter interpreter([&] { return std::make_unique<LoggingDevice>(log); });
    const QString open = QStringLiteral("open http://h/1.mp3 alias OpenFile type MPEGVideo");
    QCOMPARE(interpreter.sendString(open), 0);
    QCOMPARE(interpreter.sendString(open), int(mci::Result::DuplicateAlias));
    QCOMPARE(log.alive, 1);
}

void TestMci::failedOpenLeavesNothingOpen()
{
    DeviceLog log;
    MciInterpreter interpreter([&] { return std::make_unique<LoggingDevice>(log, false); });
    QCOMPARE(interpreter.sendString("open http://h/1.mp3 alias OpenFile type MPEGVideo"), int(mci::Result::CannotOpen));
    QVERIFY(!interpreter.isOpen());
    QCOMPARE(log.alive, 0);
}

void TestMci::sourceForAddress_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QUrl>("expected"); // empty: the open fails
    QTest::newRow("web address") << "http://h:8/a/1.mp3" << QUrl("http://h:8/a/1.mp3");
    QTest::newRow("web address with blank") << "http://h/a b.mp3" << QUrl("http://h/a%20b.mp3");
    QTest::newRow("absolute file") << "/tmp/x y.mp3" << QUrl();
    QTest::newRow("relative file") << "music/x.mp3" << QUrl();
    QTest::newRow("file on localhost") << "file://localhost/etc/passwd" << QUrl();
    QTest::newRow("capture device") << "v4l2:///dev/video0" << QUrl();
    QTest::newRow("web scheme, no host") << "http:/etc/passwd" << QUrl();
}

void TestMci::sourceForAddress()
{
    QFETCH(QString, address);
    QFETCH(QUrl, expected);
    QCOMPARE(MciInterpreter::sourceFor(address), expected);
}

QTEST_APPLESS_MAIN(TestMci)
#include "tst_mci.moc"
