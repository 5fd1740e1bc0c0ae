#include "app/handlers.h"

#include "app/controls.h"

void StatusLine::set(const QString &message)
{
    m_label->setCaption(message);
}

QString StatusLine::text() const
{
    return m_label->caption();
}
