#include "page/songlookup.h"

#include "config/appconfig.h"
#include "page/firstmarkers.h"
#include "page/netcause.h"
#include "page/pagefetcher.h"
#include "page/webaddress.h"

#include <memory>
#include <optional>

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

namespace {

// A lookup between its address check and its page: what the page is cut with.
struct Asked final
{
    QString address;
    songpage::Markers markers;
    // The markers are looked for while the page arrives, not all over it after.
    std::shared_ptr<FirstMarkers> found;

    PageFetcher::TextWatcher watcher() const
    {
        return [found = found](const QString &text, qsizetype from) { found->feed(text, from); };
    }
};

// The address check; a result when it ends the lookup.
std::optional<Result> check(const AppConfig &config, const QString &typed, Asked &asked)
{
    Result refused;
    asked.address = pastedAddress(typed);
    refused.address = asked.address;
    if (asked.address.isEmpty())
        refused.status = Status::NoAddress;
    else if (!config.hasSongPagePrefix(asked.address))
        refused.status = Status::NotASongPage;
    else
        refused.status = Status::Found;
    if (refused.status != Status::Found)
        return refused;
    asked.markers = {config.imageHost, config.videoPlayerPrefix()};
    asked.found = std::make_shared<FirstMarkers>(songpage::markersSought(asked.markers));
    return std::nullopt;
}

Result settle(const FetchResult &page, const Asked &asked, songpage::WorkingTexts &texts)
{
    Result result;
    result.address = asked.address;
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
    result.facts = songpage::cut(result.pageText, asked.markers, texts, asked.found.get());
    result.status = Status::Found;
    return result;
}

} // namespace

Result lookUp(PageFetcher &fetcher, const AppConfig &config, const QString &typed, songpage::WorkingTexts &texts)
{
    Asked asked;
    if (std::optional<Result> refused = check(config, typed, asked))
        return *refused;
    return settle(fetcher.GetBody(asked.address, asked.watcher()), asked, texts);
}

PageRequest *lookUp(PageFetcher &fetcher, const AppConfig &config, const QString &typed, songpage::WorkingTexts &texts,
                    const QObject *receiver, std::function<void(const Result &)> done)
{
    Asked asked;
    if (std::optional<Result> refused = check(config, typed, asked)) {
        done(*refused);
        return nullptr;
    }
    return fetcher.get(
        asked.address, receiver,
        [asked, &texts, done = std::move(done)](const FetchResult &page) { done(settle(page, asked, texts)); },
        asked.watcher());
}

} // namespace lookup
