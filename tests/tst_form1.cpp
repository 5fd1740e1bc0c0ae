#include "app/controls.h"
#include "app/form1.h"
#include "app/layout.h"
#include "app/qtchinese.h"
#include "site/httpserver.h"
#include "support/fakes.h"
#include "support/faults.h"
#include "support/privatebus.h"

#include <QAccessible>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <signal.h>

namespace {

const QString kChecking = QStringLiteral("正在检测是否最新版本..");
const QString kWelcome = QStringLiteral("欢迎使用Orvandel系列软件 ..");

// Notes the order in which watched widgets become enabled.
class EnableOrder final : public QObject
{
public:
    QStringList order;
    void watch(QWidget *widget) { widget->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::EnabledChange && static_cast<QWidget *>(watched)->isEnabled())
            order << watched->objectName();
        return false;
    }
};

} // namespace

class TestForm1 final : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void controlsStartAsDesigned();
    void controlsSitAtTheirPlaces_data();
    void controlsSitAtTheirPlaces();
    void worksListHasFourColumnsLastHidden();
    void inputsStayLockedWhileTheCheckRuns();
    void versionFileDecides_data();
    void versionFileDecides();
    void currentVersionUnlocksInOrder();
    void unreachableUpdateServerWarns();
    void updateCheckRetriesInTheBackground_data();
    void updateCheckRetriesInTheBackground();
    void programReadsTheSiteFromItsEnvironment_data();
    void programReadsTheSiteFromItsEnvironment();
    void laterStartComesToTheWindow_data();
    void laterStartComesToTheWindow();
    void secondProgramHandsOverAndEnds_data();
    void secondProgramHandsOverAndEnds();
    void startsWithoutSkinFile();
    void skinFileStylesTheWindow_data();
    void skinFileStylesTheWindow();
    void closingStopsAllSound();
    void closingDuringTheCheckEndsQuietly();
    void linkButtonsOpenTheMakersPages();
    void pasteButtonsFillEvenLockedBoxes();
    void exitButtonClosesTheWindow();
    void standardButtonsReadChinese();
    void screenReadersHearTheNames_data();
    void screenReadersHearTheNames();
    void keyboardReachesTheActions();
    void windowLandsOnTheScreen_data();
    void windowLandsOnTheScreen();

private:
    std::unique_ptr<Form1> makeWindow(const QString &updateBase = {});
    // The program's environment: aimed at the test server, with a runtime
    // folder of its own and the given session bus (none when empty).
    QProcessEnvironment programEnvironment(const QString &busAddress = {}) const;
    QStringList requestedPaths() const;
    void serveVersion(const QByteArray &body, int status = 200, int delayMs = 0);

    std::unique_ptr<LoopbackServer> m_server;
    std::unique_ptr<QTemporaryDir> m_folder;
    FakePlatform m_fakes;
};

void TestForm1::init()
{
    m_server = std::make_unique<LoopbackServer>();
    QVERIFY(m_server->start());
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    serveVersion("kw:V3.3|");
}

void TestForm1::cleanup()
{
    m_server.reset();
    m_folder.reset();
}

void TestForm1::serveVersion(const QByteArray &body, int status, int delayMs)
{
    m_server->setHandler([=](const HttpRequest &request) {
        if (request.path != QLatin1String("/version/main.txt"))
            return HttpResponse::text(404, "not here");
        HttpResponse response = HttpResponse::text(status, body);
        response.delayMs = delayMs;
        return response;
    });
}

std::unique_ptr<Form1> TestForm1::makeWindow(const QString &updateBase)
{
    AppConfig config = testConfig(m_server->base(), m_folder->path());
    if (!updateBase.isEmpty())
        config.updateBase = updateBase;
    return std::make_unique<Form1>(config, m_fakes.make());
}

QProcessEnvironment TestForm1::programEnvironment(const QString &busAddress) const
{
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    variables.insert(QStringLiteral("CANTORA_SITE_BASE"), m_server->base());
    variables.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_folder->path());
    variables.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
    return variables;
}

QStringList TestForm1::requestedPaths() const
{
    QStringList paths;
    for (const HttpRequest &request : m_server->requests())
        paths << request.path;
    return paths;
}

void TestForm1::controlsStartAsDesigned()
{
    auto window = makeWindow();
    QCOMPARE(window->size(), QSize(1063, 575));
    QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(window->windowTitle(), QStringLiteral("Cantora辅助工具"));

    for (QWidget *locked : {static_cast<QWidget *>(window->Text1), static_cast<QWidget *>(window->Text2),
                            static_cast<QWidget *>(window->Command10), static_cast<QWidget *>(window->Command12)})
        QVERIFY2(!locked->isEnabled(), qPrintable(locked->objectName()));
    QVERIFY(window->Command3->isEnabled());
    QVERIFY(window->Command4->isEnabled());
    QVERIFY(window->Picture3->isHidden());
    QVERIFY(window->aicAlphaImage2->isHidden());
    QVERIFY(window->Image8->isHidden() && window->Image9->isHidden() && window->Image10->isHidden());
    QCOMPARE(window->status(), kChecking);
    QCOMPARE(window->Label8[0]->caption(), QStringLiteral("运行提示："));
    QCOMPARE(window->Label8[2]->caption(), QStringLiteral("Orvandel出品"));
    QCOMPARE(window->Command7->text(), QStringLiteral("在线播放"));
    QCOMPARE(window->Command6->text(), QStringLiteral("开始下载"));
    QCOMPARE(window->Label2->caption(), QStringLiteral("演唱歌曲：未查询"));
    QCOMPARE(window->Label10->caption(), QStringLiteral("请输入地址进行信息提取"));
    QVERIFY(window->Text1->text().isEmpty() && window->Text2->text().isEmpty());

    QCOMPARE(window->Slider1->minimum(), 0);
    QCOMPARE(window->Slider1->maximum(), 1000);
    QCOMPARE(window->Slider1->pageStep(), 5);
    QCOMPARE(window->Slider1->singleStep(), 1);
    QCOMPARE(window->ProgressBar1->minimum(), 0);
    QCOMPARE(window->ProgressBar1->maximum(), 100);
    QVERIFY(!window->ProgressBar1->isTextVisible());
    QVERIFY(!window->Timer3->isActive());
    QVERIFY(!window->Timer4->isActive());
    QCOMPARE(window->Timer3->interval(), 100);
    QCOMPARE(window->Timer4->interval(), 2000);
    QCOMPARE(window->C1.DialogTitle, QStringLiteral("选择要下载的路径"));
    QCOMPARE(window->aicAlphaImage3->toolTip(), QStringLiteral("提取音乐"));
    QCOMPARE(window->aicAlphaImage4->toolTip(), QStringLiteral("关闭"));

    // Pictures of the sizes the window draws them at.
    QCOMPARE(window->Image8->picture().size(), QSize(400, 70));
    QCOMPARE(window->Image9->picture().size(), QSize(70, 69));
    QCOMPARE(window->Image10->picture().size(), QSize(13, 101));
    QCOMPARE(window->Image1->picture().size(), QSize(90, 90));
    QCOMPARE(window->aicAlphaImage1->picture().size(), QSize(180, 180));
    QVERIFY(window->aicAlphaImage1->picture().hasAlphaChannel());
    QCOMPARE(window->aicAlphaImage3->picture().size(), QSize(106, 100));

    // Nothing has been sent to the player, and no box shown, before start-up.
    QVERIFY(m_fakes.mci->commands.isEmpty());
    QVERIFY(m_fakes.messageBox->shown.isEmpty());
    QCOMPARE(m_server->requestCount(), 0);
}

void TestForm1::controlsSitAtTheirPlaces_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("box");
    QTest::newRow("Text1") << "Text1" << QRect(536, 144, 377, 18);
    QTest::newRow("Text2") << "Text2" << QRect(16, 144, 289, 18);
    QTest::newRow("Command9") << "Command9" << QRect(824, 112, 89, 17);
    QTest::newRow("Command10") << "Command10" << QRect(320, 112, 97, 57);
    QTest::newRow("Command12") << "Command12" << QRect(424, 112, 97, 57);
    QTest::newRow("aicAlphaImage3") << "aicAlphaImage3" << QRect(936, 72, 106, 100);
    QTest::newRow("ListView1") << "ListView1" << QRect(16, 184, 505, 337);
    QTest::newRow("Picture1") << "Picture1" << QRect(536, 184, 217, 337);
    QTest::newRow("Image1 in Picture1") << "Image1" << QRect(24, 16, 164, 164);
    QTest::newRow("Label10 in Picture1") << "Label10" << QRect(8, 272, 196, 60);
    QTest::newRow("Picture2") << "Picture2" << QRect(760, 184, 281, 249);
    QTest::newRow("Command7 in Picture2") << "Command7" << QRect(16, 133, 121, 33);
    QTest::newRow("Command2 in Picture2") << "Command2" << QRect(16, 208, 249, 33);
    QTest::newRow("aicAlphaImage2 in Picture2") << "aicAlphaImage2" << QRect(128, 8, 32, 23);
    QTest::newRow("Slider1") << "Slider1" << QRect(752, 448, 297, 25);
    QTest::newRow("Command5") << "Command5" << QRect(960, 480, 81, 41);
    QTest::newRow("Picture3") << "Picture3" << QRect(304, 56, 497, 433);
    QTest::newRow("ProgressBar1 in Picture5") << "ProgressBar1" << QRect(16, 120, 401, 25);
    QTest::newRow("Command6 in Picture5") << "Command6" << QRect(16, 152, 409, 41);
    QTest::newRow("aicAlphaImage4 in Picture3") << "aicAlphaImage4" << QRect(464, 8, 16, 16);
    // A line's end point is not drawn: both separators are 20 px long.
    QTest::newRow("Line1") << "Line1" << QRect(112, 544, 1, 20);
    QTest::newRow("Line2") << "Line2" << QRect(928, 544, 1, 20);
}

void TestForm1::controlsSitAtTheirPlaces()
{
    QFETCH(QString, name);
    QFETCH(QRect, box);
    auto window = makeWindow();
    auto *control = window->findChild<QWidget *>(name);
    QVERIFY2(control, qPrintable(name));
    QCOMPARE(control->geometry(), box);
}

void TestForm1::worksListHasFourColumnsLastHidden()
{
    auto window = makeWindow();
    QTreeWidget *list = window->ListView1;
    QCOMPARE(list->columnCount(), 4);
    QCOMPARE(list->topLevelItemCount(), 0);
    const QStringList headers{"序号", "音乐ID", "音乐名称(双击可解析文件地址)", "音乐地址"};
    const QStringList keys{"xh", "yy", "mc", "dz"};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(list->headerItem()->text(i), headers[i]);
        QCOMPARE(list->headerItem()->data(i, Qt::UserRole).toString(), keys[i]);
    }
    QCOMPARE(list->header()->sectionSize(0), 60);
    QCOMPARE(list->header()->sectionSize(1), 100);
    QCOMPARE(list->header()->sectionSize(2), 260);
    QVERIFY(list->header()->isSectionHidden(3));

    // A row still carries its hidden address.
    auto *row = new QTreeWidgetItem(list, {"1", "11", "Alpha", "http://x/loadplayurl.php?wid=11"});
    QCOMPARE(row->text(3), QStringLiteral("http://x/loadplayurl.php?wid=11"));
    QCOMPARE(list->visualItemRect(row).width() <= 60 + 100 + 260, true);
}

void TestForm1::inputsStayLockedWhileTheCheckRuns()
{
    serveVersion("kw:V3.3|", 200, 600);
    auto window = makeWindow();
    // A look at the window while the check waits for the version file.
    struct Snapshot
    {
        bool taken = false, visible = false, text1 = true, command10 = true;
        int requests = 0, volume = 0;
        QString status;
    } during;
    QTimer::singleShot(300, window.get(), [&] {
        during = {true,
                  window->isVisible(),
                  window->Text1->isEnabled(),
                  window->Command10->isEnabled(),
                  m_server->requestCount(),
                  window->Slider1->value(),
                  window->status()};
    });
    QVERIFY(loadAndWait(*window));
    QVERIFY(during.taken);
    QVERIFY(during.visible);
    QCOMPARE(during.requests, 1);
    QCOMPARE(during.status, kChecking);
    QVERIFY(!during.text1);
    QVERIFY(!during.command10);
    QCOMPARE(during.volume, 1000);
    QCOMPARE(window->status(), kWelcome);
    QVERIFY(window->Text1->isEnabled());
}

void TestForm1::versionFileDecides_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("shown"); // the version announced, or part of the warning's detail
    QTest::newRow("ours alone") << QByteArray("kw:V3.3|") << 200 << "unlock"
                                << "";
    QTest::newRow("ours among others") << QByteArray("xx:V1.0|kw:V3.3|yy:V2.0|") << 200 << "unlock"
                                       << "";
    QTest::newRow("newer") << QByteArray("kw:V3.4|") << 200 << "end"
                           << "V3.4";
    QTest::newRow("blank after colon") << QByteArray("kw: V3.3|") << 200 << "end"
                                       << " V3.3";
    QTest::newRow("lower-case v") << QByteArray("kw:v3.3|") << 200 << "end"
                                  << "v3.3";
    QTest::newRow("no bar") << QByteArray("kw:V3.3") << 200 << "end"
                            << "";
    QTest::newRow("not found page") << QByteArray("<html>gone</html>") << 404 << "warn"
                                    << "HTTP 404";
    QTest::newRow("server error naming us") << QByteArray("kw:V3.3|") << 500 << "warn"
                                            << "HTTP 500";
    QTest::newRow("empty file") << QByteArray() << 200 << "warn"
                                << "空";
}

void TestForm1::versionFileDecides()
{
    QFETCH(QByteArray, file);
    QFETCH(int, status);
    QFETCH(QString, outcome);
    QFETCH(QString, shown);
    serveVersion(file, status);
    auto window = makeWindow();
    QSignalSpy ended(window.get(), &Form1::programEnded);
    QVERIFY(loadAndWait(*window));

    const QStringList requested = [&] {
        QStringList paths;
        for (const HttpRequest &r : m_server->requests())
            paths << r.path;
        return paths;
    }();
    QCOMPARE(requested, QStringList{"/version/main.txt"});

    const bool unlocked = outcome == QLatin1String("unlock");
    QCOMPARE(window->Text1->isEnabled(), unlocked);
    QCOMPARE(window->Text2->isEnabled(), unlocked);
    QCOMPARE(window->Command10->isEnabled(), unlocked);
    QCOMPARE(window->Command12->isEnabled(), unlocked);
    const QString locked =
        outcome == QLatin1String("warn") ? QStringLiteral("检测更新失败, 20 秒后自动重试..") : kChecking;
    QCOMPARE(window->status(), unlocked ? kWelcome : locked);
    QCOMPARE(ended.count(), outcome == QLatin1String("end") ? 1 : 0);
    QCOMPARE(window->hasEnded(), outcome == QLatin1String("end"));

    if (outcome == QLatin1String("unlock")) {
        QVERIFY(m_fakes.messageBox->shown.isEmpty());
        QVERIFY(m_fakes.launcher->addresses.isEmpty());
    } else if (outcome == QLatin1String("warn")) {
        QCOMPARE(m_fakes.messageBox->shown.size(), 1);
        QCOMPARE(m_fakes.messageBox->shown[0].text, QStringLiteral("检测更新失败!请您稍后再试,暂时使用原版"));
        QCOMPARE(m_fakes.messageBox->shown[0].icon, MessageBoxService::Icon::Warning);
        QVERIFY2(m_fakes.messageBox->shown[0].detail.contains(shown), qPrintable(m_fakes.messageBox->shown[0].detail));
        QVERIFY(m_fakes.launcher->addresses.isEmpty());
    } else {
        QCOMPARE(m_fakes.messageBox->shown.size(), 1);
        const FakeMessageBox::Shown &box = m_fakes.messageBox->shown[0];
        QCOMPARE(box.title, QStringLiteral("Orvandel系列软件"));
        QCOMPARE(box.icon, MessageBoxService::Icon::Information);
        QCOMPARE(box.text,
                 QStringLiteral("发现最新版本![") + shown + QStringLiteral("]\r\n \r\n确定后自动打开官方论坛!"));
        QCOMPARE(m_fakes.launcher->addresses, QStringList{window->config().forumUrl});
        // Ending the program skips the closing handler.
        QVERIFY(m_fakes.mci->commands.isEmpty());
        QVERIFY(!window->isVisible());
    }
}

void TestForm1::currentVersionUnlocksInOrder()
{
    auto window = makeWindow();
    EnableOrder order;
    for (QWidget *w : {static_cast<QWidget *>(window->Text1), static_cast<QWidget *>(window->Text2),
                       static_cast<QWidget *>(window->Command10), static_cast<QWidget *>(window->Command12)})
        order.watch(w);
    QVERIFY(loadAndWait(*window));
    QCOMPARE(order.order, QStringList({"Command10", "Command12", "Text1", "Text2"}));
}

void TestForm1::unreachableUpdateServerWarns()
{
    quint16 port = 0;
    {
        LoopbackServer gone;
        QVERIFY(gone.start());
        port = gone.port();
    }
    auto window = makeWindow(QStringLiteral("http://127.0.0.1:%1").arg(port));
    QSignalSpy ended(window.get(), &Form1::programEnded);
    QVERIFY(loadAndWait(*window));
    QCOMPARE(m_fakes.messageBox->shown.size(), 1);
    QCOMPARE(m_fakes.messageBox->shown[0].title, QStringLiteral("Orvandel系列软件"));
    QCOMPARE(m_fakes.messageBox->shown[0].icon, MessageBoxService::Icon::Warning);
    QVERIFY(m_fakes.messageBox->shown[0].detail.startsWith(QStringLiteral("服务器拒绝连接")));
    QVERIFY(!window->Text1->isEnabled());
    QVERIFY(!window->Text2->isEnabled());
    QCOMPARE(ended.count(), 0);
    QVERIFY(window->isVisible());

    // The status line tells when the file is read again, counting down, and
    // F5 reads it at once; the waits still double.
    QCOMPARE(window->status(), QStringLiteral("检测更新失败, 20 秒后自动重试.."));
    QVERIFY(window->statusCause().startsWith(QStringLiteral("服务器拒绝连接")));
    QVERIFY(window->statusCause().endsWith(QStringLiteral("按F5立即重试")));
    QTRY_COMPARE_WITH_TIMEOUT(window->status(), QStringLiteral("检测更新失败, 19 秒后自动重试.."), 3000);
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_F5);
    QTRY_COMPARE(window->status(), QStringLiteral("检测更新失败, 40 秒后自动重试.."));
    QCOMPARE(m_fakes.messageBox->shown.size(), 1);
}

void TestForm1::updateCheckRetriesInTheBackground_data()
{
    QTest::addColumn<QByteArray>("file"); // what the server serves once it is up; empty: errors only
    QTest::addColumn<QString>("outcome");
    QTest::newRow("comes back current") << QByteArray("kw:V3.3|") << "unlock";
    QTest::newRow("comes back with a newer version") << QByteArray("kw:V3.4|") << "end";
    QTest::newRow("comes back failing") << QByteArray() << "locked";
}

// The server is down at start and comes up on the same port later.
void TestForm1::updateCheckRetriesInTheBackground()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, outcome);
    const QString base = refusedBase();
    AppConfig config = testConfig(m_server->base(), m_folder->path());
    config.updateBase = base;
    config.updateRetryFirstMs = 20;
    config.updateRetryLongestMs = 80;
    Form1 window(config, m_fakes.make());
    EnableOrder order;
    for (QWidget *w : {static_cast<QWidget *>(window.Text1), static_cast<QWidget *>(window.Text2),
                       static_cast<QWidget *>(window.Command10), static_cast<QWidget *>(window.Command12)})
        order.watch(w);
    QSignalSpy ended(&window, &Form1::programEnded);
    QVERIFY(loadAndWait(window));
    QCOMPARE(m_fakes.messageBox->shown.size(), 1);
    QVERIFY(!window.Text1->isEnabled());

    LoopbackServer later;
    QVERIFY(later.start(QUrl(base).port()));
    later.setHandler([file](const HttpRequest &) {
        return file.isEmpty() ? HttpResponse::text(500, "down") : HttpResponse::text(200, file);
    });
    if (outcome == QLatin1String("unlock")) {
        QTRY_COMPARE(window.status(), kWelcome);
        QCOMPARE(order.order, QStringList({"Command10", "Command12", "Text1", "Text2"}));
        QCOMPARE(m_fakes.messageBox->shown.size(), 1);
    } else if (outcome == QLatin1String("end")) {
        QTRY_COMPARE(ended.count(), 1);
        QCOMPARE(m_fakes.messageBox->shown.size(), 2);
        QVERIFY(m_fakes.messageBox->shown[1].text.startsWith(QStringLiteral("发现最新版本![V3.4]")));
        QCOMPARE(m_fakes.launcher->addresses, QStringList{window.config().forumUrl});
    } else {
        QTRY_VERIFY(later.requestCount() >= 3);
        QCOMPARE(m_fakes.messageBox->shown.size(), 1);
        QVERIFY(window.status().startsWith(QStringLiteral("检测更新失败, ")));
        QVERIFY(order.order.isEmpty());
    }
    // Once read, the file is not asked for again.
    const int requests = later.requestCount();
    if (outcome != QLatin1String("locked")) {
        QTest::qWait(200);
        QCOMPARE(later.requestCount(), requests);
    }
}

void TestForm1::programReadsTheSiteFromItsEnvironment_data()
{
    // {a} and {b} stand for two loopback sites; the version file is read from {a}.
    QTest::addColumn<QStringList>("environment");
    QTest::newRow("site base") << QStringList{"CANTORA_SITE_BASE={a}/"};
    QTest::newRow("update server apart from the site")
        << QStringList{"CANTORA_SITE_BASE={b}", "CANTORA_UPDATE_BASE= {a}/ "};
    QTest::newRow("blank site base leaves the update server given")
        << QStringList{"CANTORA_SITE_BASE= ", "CANTORA_UPDATE_BASE={a}"};
}

// The program as a user starts it, aimed by its environment alone.
void TestForm1::programReadsTheSiteFromItsEnvironment()
{
    QFETCH(QStringList, environment);
    LoopbackServer other;
    QVERIFY(other.start());
    QProcessEnvironment variables = programEnvironment();
    variables.remove(QStringLiteral("CANTORA_SITE_BASE"));
    for (QString setting : environment) {
        setting.replace(QLatin1String("{a}"), m_server->base()).replace(QLatin1String("{b}"), other.base());
        variables.insert(setting.section(QLatin1Char('='), 0, 0), setting.section(QLatin1Char('='), 1));
    }
    QProcess program;
    program.setProcessEnvironment(variables);
    program.start(QStringLiteral(CANTORA_HELPER_BINARY), QStringList{});
    QVERIFY(program.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requestCount(), 1, 15000);
    program.kill();
    program.waitForFinished();
    QCOMPARE(m_server->requests().first().path, QStringLiteral("/version/main.txt"));
    QCOMPARE(other.requestCount(), 0);
}

void TestForm1::laterStartComesToTheWindow_data()
{
    QTest::addColumn<bool>("unlockedFirst"); // else the version file cannot be read at first
    QTest::addColumn<QString>("address");
    QTest::newRow("unlocked window looks the address up") << true << QStringLiteral("/s/5200109");
    QTest::newRow("locked window waits for the update check") << false << QStringLiteral("/s/5200109");
    QTest::newRow("no address only comes to the front") << true << QString();
}

// A later start of the program, as the running window receives it.
void TestForm1::laterStartComesToTheWindow()
{
    QFETCH(bool, unlockedFirst);
    QFETCH(QString, address);
    serveVersion(unlockedFirst ? "kw:V3.3|" : "", unlockedFirst ? 200 : 500);
    AppConfig config = testConfig(m_server->base(), m_folder->path());
    config.updateRetryFirstMs = 200;
    Form1 window(config, m_fakes.make());
    window.load();
    window.showMinimized();
    window.Text1->setText(QStringLiteral("typed"));
    const QString given = address.isEmpty() ? QString() : m_server->base() + address;

    m_fakes.instanceGate->start({given, QString()});
    QVERIFY(!window.isMinimized());
    QVERIFY(window.isVisible());
    QCOMPARE(window.Text1->text(), address.isEmpty() ? QStringLiteral("typed") : given);
    if (!unlockedFirst) {
        QTest::qWait(100);
        QVERIFY(!requestedPaths().contains(address));
        serveVersion("kw:V3.3|");
    }
    if (!address.isEmpty())
        QTRY_VERIFY_WITH_TIMEOUT(requestedPaths().contains(address), 10000);
    QCOMPARE(requestedPaths().filter(QStringLiteral("/s/")).size(), address.isEmpty() ? 0 : 1);
}

void TestForm1::secondProgramHandsOverAndEnds_data()
{
    QTest::addColumn<bool>("sessionBus"); // else only the socket in the runtime folder
    QTest::addColumn<QStringList>("firstArguments");
    QTest::addColumn<QStringList>("secondArguments"); // none: no second start
    QTest::addColumn<bool>("frozen");                 // the first window stops answering
    const QStringList address{QStringLiteral("{a}/s/5200109")};
    QTest::newRow("over the session bus") << true << QStringList() << address << false;
    QTest::newRow("over the socket without a bus") << false << QStringList() << address << false;
    QTest::newRow("a first start looks up its own address") << false << address << QStringList() << false;
    QTest::newRow("a frozen window is not replaced by a second") << true << QStringList() << address << true;
}

// Two starts of the program as a user makes them: the second ends at once,
// and the window of the first looks its address up.
void TestForm1::secondProgramHandsOverAndEnds()
{
    QFETCH(bool, sessionBus);
    QFETCH(QStringList, firstArguments);
    QFETCH(QStringList, secondArguments);
    QFETCH(bool, frozen);
    const std::unique_ptr<PrivateBus> bus(sessionBus ? new PrivateBus : nullptr);
    if (bus && bus->address().isEmpty())
        QSKIP("dbus-daemon cannot be started");
    firstArguments.replaceInStrings(QStringLiteral("{a}"), m_server->base());
    secondArguments.replaceInStrings(QStringLiteral("{a}"), m_server->base());
    const QProcessEnvironment environment = programEnvironment(bus ? bus->address() : QString());

    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(QStringLiteral(CANTORA_HELPER_BINARY), firstArguments);
    QVERIFY(first.waitForStarted());
    // The window is made only once the program holds the one-window place.
    QTRY_VERIFY_WITH_TIMEOUT(requestedPaths().contains(QStringLiteral("/version/main.txt")), 15000);
    if (!secondArguments.isEmpty()) {
        if (frozen)
            ::kill(pid_t(first.processId()), SIGSTOP);
        QProcess second;
        second.setProcessEnvironment(environment);
        second.start(QStringLiteral(CANTORA_HELPER_BINARY), secondArguments);
        QVERIFY(second.waitForFinished(15000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), frozen ? 1 : 0);
        if (frozen) {
            ::kill(pid_t(first.processId()), SIGCONT);
            QCOMPARE(requestedPaths().count(QStringLiteral("/version/main.txt")), 1);
            first.kill();
            first.waitForFinished();
            return;
        }
    }
    QTRY_VERIFY_WITH_TIMEOUT(requestedPaths().contains(QStringLiteral("/s/5200109")), 15000);
    QCOMPARE(requestedPaths().count(QStringLiteral("/version/main.txt")), 1);
    QCOMPARE(first.state(), QProcess::Running);
    if (bus) {
        // Once painted, the window's player is on the bus for the desktop.
        QDBusConnection desktop = QDBusConnection::connectToBus(bus->address(), QStringLiteral("desktop"));
        QTRY_VERIFY_WITH_TIMEOUT(
            desktop.interface()->isServiceRegistered(QStringLiteral("org.mpris.MediaPlayer2.cantora_helper")), 15000);
        QDBusConnection::disconnectFromBus(QStringLiteral("desktop"));
    }
    first.kill();
    first.waitForFinished();
}

void TestForm1::startsWithoutSkinFile()
{
    auto window = makeWindow();
    QVERIFY(loadAndWait(*window));
    QVERIFY(window->styleSheet().isEmpty());
    QVERIFY(m_fakes.messageBox->shown.isEmpty());
    QCOMPARE(window->status(), kWelcome);
    // The bottom strip spans the window less 2 px on the left and 1 on the right.
    QCOMPARE(window->Image3->geometry(), QRect(2, 536, 1060, 36));
    QCOMPARE(window->Slider1->value(), 1000);
}

void TestForm1::skinFileStylesTheWindow_data()
{
    // Skin files under the test folder, which holds the program in bin/ as an
    // installed prefix does; an empty text is no file, "/" a folder of that name.
    QTest::addColumn<QString>("beside");
    QTest::addColumn<QString>("installed");
    QTest::addColumn<QString>("colour");
    QTest::newRow("portable copy") << "#b3172f" << QString() << "#b3172f";
    QTest::newRow("installed prefix") << QString() << "#0000ff"
                                      << "#0000ff";
    QTest::newRow("portable copy first") << "#b3172f"
                                         << "#0000ff"
                                         << "#b3172f";
    QTest::newRow("folder beside is no skin") << "/"
                                              << "#0000ff"
                                              << "#0000ff";
}

void TestForm1::skinFileStylesTheWindow()
{
    QFETCH(QString, beside);
    QFETCH(QString, installed);
    QFETCH(QString, colour);
    const QDir root(m_folder->path());
    const auto place = [&](const QString &folder, const QString &content) {
        QVERIFY(root.mkpath(folder));
        const QString path = root.filePath(folder + QStringLiteral("/skinh.she"));
        if (content == QLatin1String("/")) {
            QVERIFY(QDir().mkpath(path));
        } else if (!content.isEmpty()) {
            QFile skin(path);
            QVERIFY(skin.open(QIODevice::WriteOnly));
            skin.write("QPushButton { color: " + content.toLatin1() + "; }");
        }
    };
    place(QStringLiteral("bin"), beside);
    place(QStringLiteral("share/cantora-helper"), installed);

    Form1 window(testConfig(m_server->base(), root.filePath(QStringLiteral("bin"))), m_fakes.make());
    QVERIFY(loadAndWait(window));
    QCOMPARE(window.styleSheet(), QStringLiteral("QPushButton { color: %1; }").arg(colour));
    QCOMPARE(window.Command5->palette().color(QPalette::ButtonText), QColor(colour));
}

void TestForm1::closingStopsAllSound()
{
    auto window = makeWindow();
    QVERIFY(loadAndWait(*window));
    m_fakes.mci->commands.clear();
    QVERIFY(window->close());
    QCOMPARE(m_fakes.mci->commands, QStringList{"close all"});
}

void TestForm1::closingDuringTheCheckEndsQuietly()
{
    serveVersion("kw:V3.3|", 200, 2000);
    auto window = makeWindow();
    QTimer::singleShot(200, window.get(), [&] { window->close(); });
    // Closing gives up the version file: it is never answered.
    QVERIFY(!loadAndWait(*window, 2500));
    QCOMPARE(m_fakes.mci->commands, QStringList{"close all"});
    QVERIFY(m_fakes.messageBox->shown.isEmpty());
    QVERIFY(!window->Text1->isEnabled());
    QVERIFY(!window->hasEnded());
}

void TestForm1::linkButtonsOpenTheMakersPages()
{
    serveVersion("kw:V3.3|", 200, 400);
    auto window = makeWindow();
    // Both links work while the check still runs.
    QTimer::singleShot(100, window.get(), [&] {
        QTest::mouseClick(window->Command3, Qt::LeftButton);
        QTest::mouseClick(window->Command4, Qt::LeftButton);
    });
    QVERIFY(loadAndWait(*window));
    QCOMPARE(m_fakes.launcher->addresses, QStringList({window->config().forumUrl, window->config().homeUrl}));
    QCOMPARE(window->status(), kWelcome);
}

void TestForm1::pasteButtonsFillEvenLockedBoxes()
{
    auto window = makeWindow();
    window->Text1->setText(QStringLiteral("old"));
    m_fakes.clipboard->content = QStringLiteral("http://127.0.0.1/s/abc");
    QTest::mouseClick(window->Command9, Qt::LeftButton);
    QTest::mouseClick(window->Command11, Qt::LeftButton);
    QCOMPARE(window->Text1->text(), QStringLiteral("http://127.0.0.1/s/abc"));
    QCOMPARE(window->Text2->text(), QStringLiteral("http://127.0.0.1/s/abc"));
    QVERIFY(!window->Text1->isEnabled());

    m_fakes.clipboard->content.clear();
    QTest::mouseClick(window->Command9, Qt::LeftButton);
    QVERIFY(window->Text1->text().isEmpty());
}

void TestForm1::exitButtonClosesTheWindow()
{
    auto window = makeWindow();
    QVERIFY(loadAndWait(*window));
    m_fakes.mci->commands.clear();
    QTest::mouseClick(window->Command5, Qt::LeftButton);
    QVERIFY(!window->isVisible());
    QCOMPARE(m_fakes.mci->commands, QStringList{"close all"});
}

void TestForm1::standardButtonsReadChinese()
{
    QVERIFY2(installQtChinese(*QCoreApplication::instance()), "Qt's Chinese translations are missing");
    QMessageBox box(QMessageBox::Information, {}, {}, QMessageBox::Ok | QMessageBox::Yes | QMessageBox::No);
    for (const auto &[button, text] :
         {std::pair{QMessageBox::Ok, "确定"}, {QMessageBox::Yes, "是"}, {QMessageBox::No, "否"}})
        QVERIFY2(box.button(button)->text().startsWith(QString::fromUtf8(text)), text);
}

void TestForm1::screenReadersHearTheNames_data()
{
    QTest::addColumn<QString>("name"); // of the control the row is named after
    QTest::newRow("Text1") << QStringLiteral("Cantora网页版地址");
    QTest::newRow("Text2") << QStringLiteral("Cantora歌手主页地址");
    QTest::newRow("Command9") << QStringLiteral("粘贴歌曲地址");
    QTest::newRow("Command11") << QStringLiteral("粘贴歌手主页地址");
    QTest::newRow("aicAlphaImage3") << QStringLiteral("提取音乐");
    QTest::newRow("aicAlphaImage2") << QStringLiteral("MV");
    QTest::newRow("aicAlphaImage4") << QStringLiteral("关闭");
    QTest::newRow("aicAlphaImage1") << QStringLiteral("歌手头像");
    QTest::newRow("Slider1") << QStringLiteral("音量");
    QTest::newRow("ListView1") << QStringLiteral("歌手作品列表");
}

void TestForm1::screenReadersHearTheNames()
{
    QFETCH(QString, name);
    auto window = makeWindow();
    const QString control = QString::fromUtf8(QTest::currentDataTag());
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(window->findChild<QWidget *>(control));
    QVERIFY(face);
    QCOMPARE(face->text(QAccessible::Name), name);
}

void TestForm1::keyboardReachesTheActions()
{
    auto window = makeWindow();
    QVERIFY(loadAndWait(*window));
    QTRY_COMPARE(window->status(), kWelcome);
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    // The unlocked song-page box has the first focus.
    QCOMPARE(QApplication::focusWidget(), window->Text1);

    // Enter and Space both press a focused button.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        m_fakes.clipboard->content = QStringLiteral("pasted %1").arg(key);
        window->Command9->setFocus();
        QTest::keyClick(window->Command9, key);
        QCOMPARE(window->Text1->text(), m_fakes.clipboard->content);
    }
    window->Text1->clear();

    // Enter in the song-page box looks it up; Tab goes on to the round button,
    // which a mouse click presses without taking the focus.
    window->Text1->setFocus();
    QTest::mouseClick(window->aicAlphaImage3, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), window->Text1);
    QTest::keyClick(window->Text1, Qt::Key_Return);
    QCOMPARE(window->status(), QStringLiteral("请输入Cantora网页地址 "));
    for (int tab = 0; tab < 2; ++tab)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), window->aicAlphaImage3);
    QSignalSpy pressed(window->aicAlphaImage3, &ImageButton::clicked);
    QTest::keyClick(window->aicAlphaImage3, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(pressed.count(), 1);

    // Esc closes the download panel, only while it shows.
    window->Picture3->show();
    window->Command6->setFocus();
    QTest::keyClick(window->Command6, Qt::Key_Escape);
    QVERIFY(window->Picture3->isHidden());
    QCOMPARE(QApplication::focusWidget(), window->Command2);
}

void TestForm1::windowLandsOnTheScreen_data()
{
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QPoint>("at");
    QTest::newRow("large screen: centred") << QRect(0, 0, 1920, 1080) << QPoint(428, 252);
    QTest::newRow("800 x 500 at 200%: top-left kept") << QRect(0, 0, 800, 500) << QPoint(0, 0);
    QTest::newRow("second screen narrower than the window") << QRect(1920, 40, 1000, 1000) << QPoint(1920, 252);
}

void TestForm1::windowLandsOnTheScreen()
{
    QFETCH(QRect, area);
    QFETCH(QPoint, at);
    QCOMPARE(layout::placedOn(area, QSize(Form1::kClientWidth, Form1::kClientHeight)), at);
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
