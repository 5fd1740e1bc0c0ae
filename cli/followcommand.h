#pragma once

#include <QStringList>

namespace works {
class FollowList;
}

namespace cli {

// `cantora-cli follow (add|remove) SINGER_URL...` and `follow list`; returns the exit status.
int runFollow(const QStringList &arguments);
// `cantora-cli sync ...`; returns the exit status.
int runSync(const QStringList &arguments);

// Reads the followed-singers file and tells stderr of every line in it that
// names no singer. False (and said why) when it cannot be read.
bool loadFollowList(works::FollowList &list);

} // namespace cli
