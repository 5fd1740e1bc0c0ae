#include "app/songpanel.h"

#include "app/busycursor.h"
#include "app/controls.h"
#include "app/form1ui.h"
#include "page/pagefetcher.h"
#include "page/pictureloader.h"
#include "page/webaddress.h"

#include <QLineEdit>

#include <memory>

// The parse: a song page cut into the song record and the details panels.

namespace {

const QString kTitlePrefix = lookup::titlePrefix();

// The badge sits 50 twips (15 twips to the pixel) after the end of the title.
constexpr int kBadgeGap = (50 + 7) / 15;

} // namespace

SongPanel::SongPanel(const Form1Ui &ui, StatusLine &status, const WindowLife &life, PageFetcher &fetcher,
                     const AppConfig &config, SongRecord &song, QObject *parent)
    : Handlers(status, life, parent)
    , Text1(ui.Text1)
    , Image1(ui.Image1)
    , Image2(ui.Image2)
    , Label1(ui.Label1)
    , Label4(ui.Label4)
    , Label10(ui.Label10)
    , Label2(ui.Label2)
    , Label5(ui.Label5)
    , Label6(ui.Label6)
    , Label7(ui.Label7)
    , Label9(ui.Label9)
    , aicAlphaImage2(ui.aicAlphaImage2)
    , m_fetcher(fetcher)
    , m_config(config)
    , m_song(song)
{}

QString SongPanel::songTitle() const
{
    QString caption = Label2->caption();
    if (caption.startsWith(kTitlePrefix))
        caption.remove(0, kTitlePrefix.size());
    return caption;
}

void SongPanel::aicAlphaImage3_Click()
{
    parse({});
}

void SongPanel::parse(std::function<void()> then)
{
    const quint64 mine = ++m_parse;
    if (!then)
        then = [] {};
    if (m_request)
        m_request->abort();
    // Shown until the parse has ended, however it ends.
    auto busy = std::make_shared<BusyCursor>();
    // The address goes out as typed, less the blanks and line breaks pasting
    // put around it; the box then shows what was looked up.
    const QString address = pastedAddress(Text1->text());
    if (address != Text1->text())
        Text1->setText(address);
    m_request = lookup::lookUp(
        m_fetcher, m_config, address, m_parseTexts, this, [this, mine, busy, then](const lookup::Result &found) {
            if (!current(mine) || found.status == lookup::Status::Cancelled)
                return;
            if (!show(found)) {
                then();
                return;
            }
            const songpage::Facts &facts = found.facts;
            if (facts.hasVideo) {
                showAvatar(facts.avatarAddress, mine, [this, busy, then, video = facts.videoAddress] {
                    aicAlphaImage2->move(Label2->x() + Label2->width() + kBadgeGap, aicAlphaImage2->y());
                    aicAlphaImage2->show();
                    m_song.videoAddress = video;
                    then();
                });
            } else {
                aicAlphaImage2->hide();
                showAvatar(facts.avatarAddress, mine, [busy, then] { then(); });
            }
        });
}

bool SongPanel::show(const lookup::Result &found)
{
    switch (found.status) {
    case lookup::Status::Found:
        break;
    case lookup::Status::EmptyPage:
        // An empty page is taken, and says nothing.
        m_song.pageText.clear();
        return false;
    case lookup::Status::FetchFailed:
    case lookup::Status::Gone:
        // No song page arrived: the panels keep showing the work looked up before.
        setFailureStatus(lookup::statusText(found.status), found.failure);
        return false;
    default:
        setStatus(lookup::statusText(found.status));
        return false;
    }
    m_song.pageText = found.pageText;
    m_song.pageAddress = found.address;
    m_song.videoAddress.clear();

    const songpage::Facts &facts = found.facts;
    m_song.singerName = facts.singerName;
    m_song.audioAddress = facts.audioAddress;

    const lookup::Captions shown = lookup::captionsOf(facts);
    Label1->setCaption(shown.singer);
    Label4->setCaption(shown.fans);
    Label10->setCaption(shown.description);
    Label2->setCaption(shown.title);
    using songpage::Counter;
    Label5->setCaption(shown.counters[int(Counter::Plays)]);
    Label6->setCaption(shown.counters[int(Counter::Gifts)]);
    Label7->setCaption(shown.counters[int(Counter::Shares)]);
    Label9->setCaption(shown.counters[int(Counter::Comments)]);

    m_song.workId = songpage::workIdFrom(m_song.audioAddress, m_song.workId);
    return true;
}

void SongPanel::showAvatar(const QString &address, quint64 parse, const std::function<void()> &then)
{
    m_request = loadPicture(m_fetcher, address, this, [this, parse, then](const QImage &picture) {
        if (!current(parse))
            return;
        m_request = nullptr;
        // A singer whose picture cannot be had shows the default one (the
        // picture Image2 keeps), not a hole.
        Image1->setPicture(picture.isNull() ? Image2->picture() : QPixmap::fromImage(picture));
        then();
    });
}
