#include "cli/liveview.h"

#include "cli/terminal.h"

namespace cli {

namespace {

// A speed measured over less than this says more about timing than the line.
constexpr qint64 kShortestMeasureMs = 500;

QString clockText(qint64 seconds)
{
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

QString bytesText(double bytes)
{
    if (bytes >= 1024.0 * 1024.0)
        return QStringLiteral("%1 MiB").arg(bytes / (1024.0 * 1024.0), 0, 'f', 1);
    if (bytes >= 1024.0)
        return QStringLiteral("%1 KiB").arg(bytes / 1024.0, 0, 'f', 1);
    return QStringLiteral("%1 B").arg(static_cast<qint64>(bytes));
}

void LiveView::update(const QString &source, const QString &title, qint64 received, qint64 total, qint64 nowMs)
{
    auto found = m_running.find(source);
    // A transfer that starts over (a retry, a part not continued) is measured afresh.
    if (found == m_running.end() || received < found->received)
        found = m_running.insert(source, Running{oneLine(title), received, received, total, nowMs});
    found->received = received;
    found->total = total;
}

void LiveView::remove(const QString &source)
{
    m_running.remove(source);
}

double LiveView::speed(const Running &running, qint64 nowMs)
{
    const qint64 spent = nowMs - running.firstMs;
    return spent >= kShortestMeasureMs ? double(running.received - running.firstReceived) * 1000.0 / double(spent)
                                       : 0.0;
}

QString LiveView::transferLine(const Running &running, qint64 nowMs, int columns) const
{
    const double rate = speed(running, nowMs);
    const bool known = running.total > 0;
    const QString percent =
        known ? QStringLiteral("%1%").arg(std::min<qint64>(100, running.received * 100 / running.total), 3)
              : bytesText(double(running.received));
    const QString speedText = rate > 0 ? bytesText(rate) + QStringLiteral("/s") : QStringLiteral("--/s");
    const QString eta =
        known && rate > 0 ? clockText(qint64(double(running.total - running.received) / rate)) : QString();
    QString figures = percent;
    if (known)
        figures += QLatin1Char(' ') + bytesText(double(running.received)) + QLatin1Char('/') +
                   bytesText(double(running.total));
    figures += QStringLiteral("  ") + speedText;
    if (!eta.isEmpty())
        figures += QStringLiteral("  ETA ") + eta;
    // The figures matter more than the whole title: the title gives way
    // first, and on a narrow terminal the figures shrink to percent, speed and time left.
    constexpr int kTitleColumns = 8;
    if (displayWidth(figures) + kTitleColumns + 4 > columns)
        figures = percent + QLatin1Char(' ') + speedText + (eta.isEmpty() ? QString() : QLatin1Char(' ') + eta);
    const int room = std::max(4, columns - displayWidth(figures) - 4);
    return QStringLiteral("  ") + fitColumns(running.title, room) + QStringLiteral("  ") + figures;
}

QString LiveView::frame(const download::BatchProgress &progress, qint64 nowMs, int columns, const QString &above)
{
    // One column short of the width: a line that fills it would wrap on some
    // terminals and break the count of lines to go back over.
    const int fit = std::max(1, columns - 1);
    QString out = clear() + above;
    for (const Running &running : std::as_const(m_running)) {
        out += fitColumns(transferLine(running, nowMs, fit), fit) + QLatin1Char('\n');
        ++m_lines;
    }
    out += fitColumns(totalLine(progress, nowMs), fit) + QLatin1Char('\n');
    ++m_lines;
    return out;
}

QString LiveView::totalLine(const download::BatchProgress &progress, qint64)
{
    const qint64 seconds = download::etaSeconds(progress);
    const QString eta = seconds < 0 ? QStringLiteral("--:--") : clockText(seconds);
    return download::batchStatusText(progress) +
           QStringLiteral(" %1  %2/s  ETA %3")
               .arg(bytesText(double(progress.bytes)), bytesText(progress.bytesPerSecond), eta);
}

QString LiveView::clear()
{
    QString out;
    if (m_lines > 0)
        out += QStringLiteral("\x1b[%1A").arg(m_lines);
    m_lines = 0;
    return out + QStringLiteral("\r\x1b[J");
}

} // namespace cli
