#include "app/followpanel.h"

#include "app/batchdownload.h"
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
                         MessageBoxService &messageBox, BatchDownloadPanel &jobs, const AppConfig &config,
                         const FilePlaces &places, QWidget *window)
    : Handlers(status, life, window)
    , Text2(ui.Text2)
    , m_fetcher(fetcher)
    , m_jobs(jobs)
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
    // The singer's name comes with the page; the list is written once it has.
    m_fetcher.get(address, this, [this, address](const FetchResult &page) {
        if (windowGone())
            return;
        // The list is read again: the command line may have changed it meanwhile.
        const QString name = page.status == FetchStatus::Ok ? works::singerNameOn(page.text) : QString();
        works::FollowList list;
        if (!loadList(list))
            return;
        list.add(address, name);
        if (!saveList(list))
            return;
        setStatus(QStringLiteral("已关注 %1 ..").arg(name.isEmpty() ? address : name));
    });
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
    if (m_jobs.refuseWhileBusy())
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
    // Without its archive a sync would fetch every work again, each time.
    if (const QString problem = download::Archive::problem(options.archiveFile); !problem.isEmpty()) {
        const QString refused = works::unusableArchiveText(options.archiveFile);
        setFailureStatus(refused, problem);
        m_messageBox.inform(m_window, boxTitle(), refused, MessageBoxService::Icon::Warning, problem);
        return;
    }
    auto *sync = new works::FollowSync(m_config, list.singers(), options);
    m_jobs.runSync(sync, options.folder, [sync] {
        works::rememberNames(sync->singers());
        BatchDownloadPanel::Ending ending;
        // Another sync of this user (the timer's, a terminal's) holds the works: this one did nothing.
        if (sync->foundAnotherRunning())
            ending.instead = works::FollowSync::anotherRunningText();
        for (const works::SingerFailure &failure : sync->singerFailures())
            ending.failures.append(
                failure.address + QStringLiteral(": ") + failure.reason +
                (failure.detail.isEmpty() ? QString() : QStringLiteral(" (") + failure.detail + QLatin1Char(')')));
        return ending;
    });
}
