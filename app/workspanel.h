#pragma once

#include "app/handlers.h"
#include "config/appconfig.h"
#include "config/fileplaces.h"
#include "page/songlookup.h"
#include "works/harvest.h"

#include <QPointer>

#include <memory>

class MciService;
class MessageBoxService;
class PageFetcher;
class PageRequest;
struct FetchResult;
class QLineEdit;
class QPushButton;
class QTimer;
class QTreeWidget;
class QWidget;
class SaveDialogService;
class SongPanel;
struct Form1Ui;

// The works list: harvesting a singer's works and acting on its rows.
class WorksPanel final : public Handlers
{
public:
    WorksPanel(const Form1Ui &ui, StatusLine &status, const WindowLife &life, PageFetcher &fetcher,
               MessageBoxService &messageBox, SaveDialogService &saveDialog, MciService &mci, const AppConfig &config,
               const FilePlaces &places, SongRecord &song, SongPanel &songPanel, QWidget *window);

    void Command10_Click();
    void hx();
    void Timer3_Timer();
    void Timer4_Timer();
    void Command12_Click();
    void ListView1_DblClick();
    // The list's context menu: "导出列表…" writes every row to a CSV file.
    void exportList();
    // Enter on the list: the row under the keyboard's cursor, selected first,
    // is looked up as a double-click would; nothing happens without one.
    void ListView1_KeyReturn();

private:
    // The harvest once its page has come.
    void harvested(const FetchResult &page, const std::shared_ptr<works::PageScan> &scan);
    // Ends a harvest whose fetch brought back no page, for `cause` when the
    // network failed.
    void endHarvestWithoutPage(const QString &cause);
    void lookUpAnswer();

    QLineEdit *const Text1;
    QLineEdit *const Text2;
    QPushButton *const Command7;
    QPushButton *const Command10;
    QTreeWidget *const ListView1;
    QTimer *const Timer3;
    QTimer *const Timer4;

    PageFetcher &m_fetcher;
    MessageBoxService &m_messageBox;
    SaveDialogService &m_saveDialog;
    MciService &m_mci;
    const AppConfig &m_config;
    const FilePlaces &m_places;
    SongRecord &m_song;
    SongPanel &m_songPanel;
    QWidget *const m_window;

    // The harvest slots (page, current piece, id, text after the full marker,
    // title, play-address answer; 6 to 10 spare) and the marker count of the
    // last scan. Both live as long as the window and are only ever overwritten.
    works::HarvestSlots m_harvestSlots;
    qint16 m_markerCount = 0;
    // What the scan and the list filler read of the last page, worked out
    // while it arrived; gone once the list is filled.
    std::shared_ptr<works::PageScan> m_pageScan;
    // The latest double-click, and its request to the play-address service.
    quint64 m_lookUp = 0;
    QPointer<PageRequest> m_serviceRequest;
};

// The rows of the works list with their whole values (number, id, title,
// play-address service address), in list order; with `selectedOnly` only the
// selected ones.
QList<QStringList> listedWorks(const QTreeWidget *list, bool selectedOnly);

// Calls `onDoubleClick` for every left double-click inside `watched`, on a row
// or not: the list acts on its selected row, whatever was under the pointer.
void watchDoubleClicks(QWidget *watched, std::function<void()> onDoubleClick);
