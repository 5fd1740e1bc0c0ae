#include "update/updatecheck.h"

#include "page/pagefetcher.h"
#include "page/textcut.h"

#include <algorithm>

namespace update {

QString versionIn(const QString &pageText)
{
    const std::optional<QStringView> entry = textcut::piece(pageText, u"kw:", 1);
    if (!entry)
        return QString();
    return textcut::before(*entry, u"|").toString();
}

Verdict judge(const QString &pageText)
{
    Verdict verdict;
    verdict.version = versionIn(pageText);
    if (pageText.isEmpty())
        verdict.outcome = Outcome::Unreadable;
    else if (verdict.version == QLatin1String(kBuiltInVersion))
        verdict.outcome = Outcome::Current;
    else
        verdict.outcome = Outcome::OtherVersion;
    return verdict;
}

QString announcement(const QString &version)
{
    return QStringLiteral("发现最新版本![") + version + QStringLiteral("]\r\n \r\n确定后自动打开官方论坛!");
}

QString unreadableText()
{
    return QStringLiteral("检测更新失败!请您稍后再试,暂时使用原版");
}

QString welcomeText()
{
    return QStringLiteral("欢迎使用Orvandel系列软件 ..");
}

QString checkingText()
{
    return QStringLiteral("正在检测是否最新版本..");
}

QString retryText(int msLeft)
{
    const int seconds = std::max(1, (msLeft + 999) / 1000);
    QString wait = QStringLiteral("%1 秒").arg(seconds % 60);
    if (seconds >= 60)
        wait = seconds % 60 ? QStringLiteral("%1 分 ").arg(seconds / 60) + wait
                            : QStringLiteral("%1 分钟").arg(seconds / 60);
    return QStringLiteral("检测更新失败, ") + wait + QStringLiteral("后自动重试..");
}

QString retryNowHint()
{
    return QStringLiteral("按F5立即重试");
}

Verdict check(PageFetcher &fetcher, const QString &versionFileUrl)
{
    return judgeAnswer(fetcher.GetBody(versionFileUrl));
}

Verdict judgeAnswer(const FetchResult &page)
{
    Verdict verdict = judge(page.status == FetchStatus::Ok ? page.text : QString());
    if (verdict.outcome == Outcome::Unreadable)
        verdict.failure = page.status == FetchStatus::Ok ? QStringLiteral("服务器返回的版本文件是空的") : page.cause();
    return verdict;
}

} // namespace update
