#pragma once

#include "app/handlers.h"
#include "config/appconfig.h"
#include "config/fileplaces.h"

class BatchDownloadPanel;
class MessageBoxService;
class PageFetcher;
class QLineEdit;
class QWidget;
struct Form1Ui;

namespace works {
class FollowList;
}

// The works list's entries for followed singers: following and unfollowing
// the singer in Text2, and fetching every followed singer's new works into
// the download folder as the window's batch job (BatchDownloadPanel). The
// list is the command line's.
class FollowPanel final : public Handlers
{
public:
    FollowPanel(const Form1Ui &ui, StatusLine &status, const WindowLife &life, PageFetcher &fetcher,
                MessageBoxService &messageBox, BatchDownloadPanel &jobs, const AppConfig &config,
                const FilePlaces &places, QWidget *window);

    void followSinger();   // 关注此歌手
    void unfollowSinger(); // 取消关注
    // 同步关注的歌手; refused, with the cause in a box, when the archive will not do.
    void syncFollowed();

private:
    // The address in Text2 as the list keeps it, and the list; false (with
    // the reason on the status line) when either will not do.
    bool addressAndList(QString &address, works::FollowList &list);
    // Each false, with the cause on the status line, when the file will not do.
    bool loadList(works::FollowList &list);
    bool saveList(const works::FollowList &list);

    QLineEdit *const Text2;
    PageFetcher &m_fetcher;
    BatchDownloadPanel &m_jobs;
    MessageBoxService &m_messageBox;
    const AppConfig &m_config;
    const FilePlaces &m_places;
    QWidget *const m_window;
};
