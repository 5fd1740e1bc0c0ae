#pragma once

#include <QString>

namespace cli {

// A message on the user's desktop, where there is one.
class DesktopNotifier
{
public:
    virtual ~DesktopNotifier() = default;
    virtual void notify(const QString &summary, const QString &body) = 0;
};

// Through the freedesktop Notifications service on the session bus. Without a
// bus or without the service nothing happens: a timer may run a sync with no desktop.
class BusNotifier final : public DesktopNotifier
{
public:
    void notify(const QString &summary, const QString &body) override;
};

// A sync's one notification: sent only when it brought `newWorks` (> 0).
void announceNewWorks(DesktopNotifier &notifier, int newWorks, int singers);

} // namespace cli
