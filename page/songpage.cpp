#include "app/controls.h"
#include "app/form1.h"
#include "page/pagefetcher.h"
#include "page/pictureloader.h"

#include <QLineEdit>

// The parse: a song page cut into the song record and the details panels.

namespace {

const QString kTitlePrefix = QStringLiteral("演唱歌曲：");

// The badge sits 50 twips (15 twips to the pixel) after the end of the title.
constexpr int kBadgeGap = (50 + 7) / 15;

} // namespace

QString &program::workId()
{
    static QString id;
    return id;
}

void Form1::connectLookupHandlers()
{
    connect(aicAlphaImage3, &ImageButton::clicked, this, &Form1::aicAlphaImage3_Click);
}

QString Form1::songTitle() const
{
    QString caption = Label2->caption();
    if (caption.startsWith(kTitlePrefix))
        caption.remove(0, kTitlePrefix.size());
    return caption;
}

void Form1::aicAlphaImage3_Click()
{
    const QString address = Text1->text();
    if (address.isEmpty()) {
        setStatus(QStringLiteral("请输入Cantora网页地址 "));
        return;
    }
    if (!address.contains(m_config.songPagePrefix(), Qt::CaseSensitive)) {
        setStatus(QStringLiteral("地址错误,请您检查 .."));
        return;
    }

    // The address goes out exactly as typed.
    const FetchResult page = m_fetcher->GetBody(address);
    if (m_closing || m_ended)
        return;
    if (!page.ok || page.httpStatus >= 400) {
        // No song page arrived (an error page is not one): the panels keep
        // showing the work looked up before.
        setStatus(QStringLiteral("网页获取失败,请您检查网络后再试.."));
        return;
    }
    m_song.pageText = page.text;
    if (m_song.pageText.isEmpty())
        return;
    m_song.videoAddress.clear();

    const songpage::Markers markers{m_config.imageHost, m_config.videoPlayerPrefix()};
    const songpage::Facts facts = songpage::cut(m_song.pageText, markers, m_parseTexts);
    m_song.singerName = facts.singerName;
    m_song.audioAddress = facts.audioAddress;

    Label1->setCaption(QStringLiteral("用户名：") + facts.singerName);
    Label4->setCaption(QStringLiteral("粉丝数：") + facts.fanCount);
    Label10->setCaption(facts.description);
    Label2->setCaption(kTitlePrefix + facts.title);
    using songpage::Counter;
    const auto counter = [&facts](Counter which) { return facts.counters[static_cast<int>(which)]; };
    Label5->setCaption(QStringLiteral("播放次数：") + counter(Counter::Plays) + QStringLiteral("次"));
    Label6->setCaption(QStringLiteral("收到礼物：") + counter(Counter::Gifts) + QStringLiteral("个"));
    Label7->setCaption(QStringLiteral("转发次数：") + counter(Counter::Shares) + QStringLiteral("次"));
    Label9->setCaption(QStringLiteral("评论数量：") + counter(Counter::Comments) + QStringLiteral("次"));

    program::workId() = songpage::workIdFrom(m_song.audioAddress, program::workId());

    if (facts.hasVideo) {
        showAvatar(facts.avatarAddress);
        if (m_closing || m_ended)
            return;
        aicAlphaImage2->move(Label2->x() + Label2->width() + kBadgeGap, aicAlphaImage2->y());
        aicAlphaImage2->show();
        m_song.videoAddress = facts.videoAddress;
    } else {
        aicAlphaImage2->hide();
        showAvatar(facts.avatarAddress);
    }
}

void Form1::showAvatar(const QString &address)
{
    const QImage picture = LoadPicture(*m_fetcher, address);
    if (m_closing || m_ended)
        return;
    // A singer whose picture cannot be had shows the default one (the picture
    // Image2 keeps), not a hole.
    Image1->setPicture(picture.isNull() ? Image2->picture() : QPixmap::fromImage(picture));
}
