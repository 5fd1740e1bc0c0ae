#include "app/followpanel.h"

#include "app/form1ui.h"
#include "app/services.h"
#include "app/tagsmodule.h"
#include "page/pagefetcher.h"
#include "works/followsync.h"
#include "works/harvest.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

FollowPanel::FollowPanel(const Form1Ui &ui, StatusLine &status, const WindowLife &life, PageFetcher &fetcher,
                         MessageBoxService &messageBox, const AppConfig &config, const FilePlaces &places,
                         QWidget *window)
    : Handlers(status, life, window)
    , Text2(ui.Text2)
    , m_fetcher(fetcher)
    , m_messageBox(messageBox)
    , m_config(config)
    , m_places(places)
    , m_window(window)
{}

bool FollowPanel::addressAndList(QString &address, works::FollowList &list)
{
    address = works::followedAddress(Text2->text());
    if (address.isEmpty()) {
        const works::HarvestStatus why = works::checkSingerAddress(Text2->text());
        setStatus(
            works::statusText(why == works::HarvestStatus::Fetching ? works::HarvestStatus::NotASingerPage : why));
        return false;
    }
    return loadList(list);
}

bool FollowPanel::loadList(works::FollowList &list)
{
    const QString problem = list.load();
    if (!problem.isEmpty())
        setFailureStatus(QStringLiteral("关注列表无法读取 .."), problem);
    return problem.isEmpty();
}

bool FollowPanel::saveList(const works::FollowList &list)
{
    const QString problem = list.save();
    if (!problem.isEmpty())
        setFailureStatus(QStringLiteral("关注列表无法保存 .."), problem);
    return problem.isEmpty();
}

void FollowPanel::followSinger()
{
    QString address;
    works::FollowList list;
    if (!addressAndList(address, list))
        return;
    if (list.contains(address)) {
        setStatus(QStringLiteral("已关注此歌手 .."));
        return;
    }
    const FetchResult page = m_fetcher.GetBody(address);
    if (windowGone())
        return;
    // The list is read again: the command line may have changed it meanwhile.
    const QString name = page.status == FetchStatus::Ok ? works::singerNameOn(page.text) : QString();
    if (!loadList(list))
        return;
    list.add(address, name);
    if (!saveList(list))
        return;
    setStatus(QStringLiteral("已关注 %1 ..").arg(name.isEmpty() ? address : name));
}

void FollowPanel::unfollowSinger()
{
    QString address;
    works::FollowList list;
    if (!addressAndList(address, list))
        return;
    if (!list.remove(address)) {
        setStatus(QStringLiteral("未关注此歌手 .."));
        return;
    }
    if (!saveList(list))
        return;
    setStatus(QStringLiteral("已取消关注 .."));
}

void FollowPanel::syncFollowed()
{
    if (m_sync)
        return;
    works::FollowList list;
    if (!loadList(list))
        return;
    if (list.singers().isEmpty()) {
        setStatus(QStringLiteral("还没有关注的歌手 .."));
        return;
    }
    download::BatchOptions options;
    options.folder = m_places.downloadFolder;
    options.jobs = works::kSyncJobs;
    options.archiveFile = works::defaultArchivePath();
    options.tags = std::make_shared<ModuleTags>();
    QDir().mkpath(QFileInfo(options.archiveFile).absolutePath());
    m_sync = new works::FollowSync(m_config, list.singers(), options, this);
    connect(m_sync, &works::FollowSync::progressChanged, this,
            [this](const download::BatchProgress &progress) { setStatus(download::batchStatusText(progress)); });
    connect(m_sync, &works::FollowSync::finished, this, &FollowPanel::syncFinished);
    setStatus(download::batchStatusText(m_sync->progress()));
    m_sync->start();
}

void FollowPanel::stopSync()
{
    if (m_sync)
        m_sync->stop();
}

void FollowPanel::syncFinished()
{
    works::FollowSync *sync = m_sync;
    m_sync = nullptr;
    sync->deleteLater();
    works::rememberNames(sync->singers());
    if (windowGone())
        return;
    const QString summary = download::batchSummaryText(sync->progress());
    setStatus(summary);
    QStringList failures;
    for (const works::SingerFailure &failure : sync->singerFailures())
        failures.append(
            failure.address + QStringLiteral(": ") + failure.reason +
            (failure.detail.isEmpty() ? QString() : QStringLiteral(" (") + failure.detail + QLatin1Char(')')));
    for (const download::WorkOutcome &outcome : sync->outcomes()) {
        if (outcome.status == download::WorkOutcome::Status::Failed)
            failures.append((outcome.title.isEmpty() ? outcome.source : outcome.title) + QStringLiteral(": ") +
                            download::outcomeText(outcome));
    }
    if (!failures.isEmpty())
        m_messageBox.inform(m_window, boxTitle(), summary + QStringLiteral("\n\n") + failures.join(QLatin1Char('\n')),
                            MessageBoxService::Icon::Warning);
}
