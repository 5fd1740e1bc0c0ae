#pragma once

#include <QString>

#include <optional>

// The command strings the player speaks. The player opens at most one stream,
// always under the alias "OpenFile"; these are all the commands it sends:
//   close OpenFile
//   open <address> alias OpenFile type MPEGVideo
//   play OpenFile
//   setaudio OpenFile volume to <0..1000>
//   close all
namespace mci {

inline constexpr char kAlias[] = "OpenFile";

// Results of a command, 0 for success. Callers never branch on them; they are
// there for tests and for anyone reading a trace.
enum class Result : int {
    Ok = 0,
    UnrecognizedCommand = 261,
    InvalidDeviceName = 263,
    MissingParameter = 273,
    BadInteger = 274,
    CannotOpen = 275,
    OutOfRange = 282,
    DuplicateAlias = 289,
};

enum class Verb { Close, CloseAll, Open, Play, SetVolume };

struct Command final
{
    Verb verb = Verb::CloseAll;
    QString address; // Open: everything between "open " and the alias clause
    int volume = 0;  // SetVolume: 0 (silent) to 1000 (full)
};

// Parses one command string. Keywords and the alias are matched without regard
// to letter case; the address of an open command is taken verbatim, blanks and
// all. On failure `error` (when given) says why.
std::optional<Command> parse(const QString &text, Result *error = nullptr);

} // namespace mci
