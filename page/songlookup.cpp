#include "page/songlookup.h"

#include "config/appconfig.h"
#include "page/firstmarkers.h"
#include "page/netcause.h"
#include "page/pagefetcher.h"
#include "page/webaddress.h"

namespace lookup {

QString statusText(Status status)
{
    switch (status) {
    case Status::NoAddress:
        return QStringLiteral("请输入Cantora网页地址 ");
    case Status::NotASongPage:
        return QStringLiteral("地址错误,请您检查 ..");
    case Status::FetchFailed:
        return QStringLiteral("网页获取失败,请您检查网络后再试..");
    case Status::Gone:
        return netcause::workGoneText();
    case Status::Found:
    case Status::EmptyPage:
    case Status::Cancelled:
        break;
    }
    return QString();
}

QString notParsedText()
{
    return QStringLiteral("请先进行解析..");
}

QString titlePrefix()
{
    return QStringLiteral("演唱歌曲：");
}

Captions captionsOf(const songpage::Facts &facts)
{
    Captions shown;
    shown.singer = QStringLiteral("用户名：") + facts.singerName;
    shown.fans = QStringLiteral("粉丝数：") + facts.fanCount;
    shown.description = facts.description;
    shown.title = titlePrefix() + facts.title;
    // In songpage::Counter order: plays, gifts, shares, comments.
    static const std::array<std::pair<const char16_t *, const char16_t *>, songpage::kCounterCount> counterLabels{{
        {u"播放次数：", u"次"},
        {u"收到礼物：", u"个"},
        {u"转发次数：", u"次"},
        {u"评论数量：", u"次"},
    }};
    for (int i = 0; i < songpage::kCounterCount; ++i)
        shown.counters[i] = QString::fromUtf16(counterLabels[i].first) + facts.counters[i] +
                            QString::fromUtf16(counterLabels[i].second);
    return shown;
}

Result lookUp(PageFetcher &fetcher, const AppConfig &config, const QString &typed, songpage::WorkingTexts &texts)
{
    Result result;
    const QString address = pastedAddress(typed);
    if (address.isEmpty()) {
        result.status = Status::NoAddress;
        return result;
    }
    if (!config.hasSongPagePrefix(address)) {
        result.status = Status::NotASongPage;
        return result;
    }

    const songpage::Markers markers{config.imageHost, config.videoPlayerPrefix()};
    // The markers are looked for while the page arrives, not all over it after.
    FirstMarkers found(songpage::markersSought(markers));
    const FetchResult page =
        fetcher.GetBody(address, [&found](const QString &text, qsizetype from) { found.feed(text, from); });
    switch (page.status) {
    case FetchStatus::Cancelled:
        result.status = Status::Cancelled;
        return result;
    case FetchStatus::Failed:
    case FetchStatus::ErrorPage:
        result.status = netcause::meansGone(page.httpStatus) ? Status::Gone : Status::FetchFailed;
        result.failure = page.cause();
        return result;
    case FetchStatus::Ok:
        break;
    }
    result.pageText = page.text;
    if (result.pageText.isEmpty()) {
        result.status = Status::EmptyPage;
        return result;
    }
    result.facts = songpage::cut(result.pageText, markers, texts, &found);
    result.status = Status::Found;
    return result;
}

} // namespace lookup
