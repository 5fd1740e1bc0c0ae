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
// bus or without the service nothing happens: a timer may run a sync with no
// desktop. A bus that never answers cannot hold the run up: the whole
// notification, connecting included, gets kTimeLimitMs, and a stop signal ends it at once.
class BusNotifier final : public DesktopNotifier
{
public:
    static constexpr int kTimeLimitMs = 4000;
    void notify(const QString &summary, const QString &body) override;
};

// The program runs as the sender of one notification when this word is its
// first argument, followed by the summary and the body: connecting to a bus
// can block beyond reach, so it happens in a process that can be ended.
inline constexpr char kSendNotificationWord[] = "--send-desktop-notification";
// Sends it and waits a little for the answer; returns the exit status.
int sendNotification(const QString &summary, const QString &body);

// What a sync tells the desktop.
struct SyncNews final
{
    int newWorks = 0;
    int singersWithNew = 0;
    int singersFailed = 0; // 0 with a cause: the sync failed outside any singer (the archive)
    QString firstCause;    // empty when nothing failed
};

// A sync's one notification: sent when it brought new works or something
// failed; a sync with nothing new stays silent.
void announceSync(DesktopNotifier &notifier, const SyncNews &news);

} // namespace cli
