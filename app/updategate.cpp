// The update check: only a version file that names this version unlocks the
// inputs. One that cannot be read is warned about once, then read again in
// the background, less and less often, until it can be; meanwhile the status
// line counts down to the next read, and F5 reads it at once. The window never
// waits for the file: whatever the user does meanwhile goes on.

#include "app/form1.h"

#include "page/pagefetcher.h"
#include "update/updatecheck.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

void Form1::gx()
{
    checkVersion(true);
}

void Form1::retryUpdateCheck()
{
    if (!m_life.over())
        checkVersion(false);
}

void Form1::retryUpdateNow()
{
    // Only while waiting: a read under way is not started a second time.
    if (m_updateRetry && m_updateRetry->isActive()) {
        m_updateRetry->stop();
        retryUpdateCheck();
    }
}

void Form1::checkVersion(bool warnIfUnreadable)
{
    if (m_retryTick)
        m_retryTick->stop();
    sayFromGate(update::checkingText(), QString(), true);
    m_fetcher->get(m_config.versionFileUrl(), this, [this, warnIfUnreadable](const FetchResult &answer) {
        if (!m_life.over())
            actOnVersion(update::judgeAnswer(answer), warnIfUnreadable);
    });
}

void Form1::actOnVersion(const update::Verdict &verdict, bool warnIfUnreadable)
{
    const QString title = QString::fromUtf8(Handlers::kBoxTitle);
    switch (verdict.outcome) {
    case update::Outcome::Unreadable:
        reportFailure(update::unreadableText(), verdict.failure);
        // Armed before the warning, which may stay open while the server comes back.
        scheduleUpdateRetry(verdict.failure);
        if (warnIfUnreadable)
            m_platform.messageBox->inform(this, title, update::unreadableText(), MessageBoxService::Icon::Warning,
                                          verdict.failure);
        break;
    case update::Outcome::Current:
        setStatus(update::welcomeText());
        Command10->setEnabled(true);
        Command12->setEnabled(true);
        Text1->setEnabled(true);
        Text2->setEnabled(true);
        // The song-page box is where a new user starts; a box or list the
        // user went to meanwhile keeps the focus.
        if (!focusWidget() || qobject_cast<QAbstractButton *>(focusWidget()))
            Text1->setFocus(Qt::OtherFocusReason);
        break;
    case update::Outcome::OtherVersion:
        m_platform.messageBox->inform(this, title, update::announcement(verdict.version),
                                      MessageBoxService::Icon::Information);
        m_platform.launcher->openAddress(m_config.forumUrl);
        endProgram();
        break;
    }
    emit versionChecked();
}

void Form1::scheduleUpdateRetry(const QString &failure)
{
    if (!m_updateRetry) {
        m_updateRetry = new QTimer(this);
        m_updateRetry->setSingleShot(true);
        // On time, as the countdown says: a coarse timer may come a second late.
        m_updateRetry->setTimerType(Qt::PreciseTimer);
        connect(m_updateRetry, &QTimer::timeout, this, &Form1::retryUpdateCheck);
        m_retrySchedule.emplace(m_config.updateRetryFirstMs, m_config.updateRetryLongestMs);
        m_retryTick = new QTimer(this);
        m_retryTick->setTimerType(Qt::PreciseTimer);
        m_retryTick->setInterval(1000);
        connect(m_retryTick, &QTimer::timeout, this, &Form1::showRetryCountdown);
        auto *now = new QShortcut(QKeySequence(Qt::Key_F5), this);
        now->setContext(Qt::WindowShortcut);
        connect(now, &QShortcut::activated, this, &Form1::retryUpdateNow);
    }
    const int wait = m_retrySchedule->nextWaitMs();
    m_updateRetry->start(wait);
    m_gateCause = failure + QLatin1Char('\n') + update::retryNowHint();
    sayFromGate(update::retryText(wait), m_gateCause, true);
    m_retryTick->start();
}

void Form1::showRetryCountdown()
{
    if (m_updateRetry->isActive())
        sayFromGate(update::retryText(m_updateRetry->remainingTime()), m_gateCause, false);
}

void Form1::sayFromGate(const QString &text, const QString &cause, bool always)
{
    // A tick leaves another message alone; the next read speaks again.
    if (!always && status() != m_gateText)
        return;
    m_statusLine.setWithCause(text, cause);
    m_gateText = text;
}
