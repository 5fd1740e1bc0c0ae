// The update check: only a version file that names this version unlocks the
// inputs. One that cannot be read is warned about once, then read again in
// the background, less and less often, until it can be. The window never
// waits for the file: whatever the user does meanwhile goes on.

#include "app/form1.h"

#include "page/pagefetcher.h"
#include "update/updatecheck.h"

#include <QLineEdit>
#include <QPushButton>
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

void Form1::checkVersion(bool warnIfUnreadable)
{
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
        scheduleUpdateRetry();
        // Once only: meanwhile the status line says the check goes on.
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

void Form1::scheduleUpdateRetry()
{
    if (!m_updateRetry) {
        m_updateRetry = new QTimer(this);
        m_updateRetry->setSingleShot(true);
        connect(m_updateRetry, &QTimer::timeout, this, &Form1::retryUpdateCheck);
        m_retrySchedule.emplace(m_config.updateRetryFirstMs, m_config.updateRetryLongestMs);
    }
    m_updateRetry->start(m_retrySchedule->nextWaitMs());
}
