#include "app/updatecheck.h"

#include "page/textcut.h"

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

} // namespace update
