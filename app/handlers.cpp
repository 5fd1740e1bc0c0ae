#include "app/handlers.h"

#include "app/controls.h"

#include <cstdio>

void reportFailure(const QString &message, const QString &cause)
{
    QString line = QStringLiteral("cantora-helper: ") + message.trimmed();
    if (!cause.isEmpty())
        line += QStringLiteral(" (") + cause + QLatin1Char(')');
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

void StatusLine::set(const QString &message)
{
    m_label->setCaption(message);
    m_label->setToolTip(QString());
}

void StatusLine::setFailure(const QString &message, const QString &cause)
{
    setWithCause(message, cause);
    reportFailure(message, cause);
}

void StatusLine::setWithCause(const QString &message, const QString &cause)
{
    m_label->setCaption(message);
    m_label->setToolTip(cause);
}

QString StatusLine::cause() const
{
    return m_label->toolTip();
}

QString StatusLine::text() const
{
    return m_label->caption();
}
