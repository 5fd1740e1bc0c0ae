#pragma once

#include "player/streamfailure.h"

#include <QString>

namespace playback {

// The server number the re-resolve command reads from an audio address: the
// sixth "/" field (counting from 0) with every lower-case "a" removed, its
// leading decimal number (0 when none) less 108, written without trailing
// zeros. Empty when the address has fewer than five "/".
QString serverNumber(const QString &audioAddress);

// The rebuilt address: server (scheme and host) + "/userdata/userwork/" + the
// last three characters of the work id + "/" + id + ".mp3".
QString rebuiltAddress(const QString &server, const QString &workId);

// What the status line says when the stream being played could not start or
// broke off: "无法播放: " and what went wrong.
QString failureText(StreamTrouble trouble);

// The volume command for a slider value.
QString volumeCommand(int value);

} // namespace playback
