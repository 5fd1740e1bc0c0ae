#pragma once

#include <QStringList>

namespace cli {

// How much a command tells on standard error; standard output carries its results either way.
struct OutputOptions final
{
    enum class Level { Quiet, Normal, Verbose };
    Level level = Level::Normal;

    bool quiet() const { return level == Level::Quiet; }
    bool verbose() const { return level == Level::Verbose; }
};

// Takes -q/--quiet and -v/--verbose out of `words`, wherever they stand
// before a "--"; the last one given counts.
OutputOptions takeOutputOptions(QStringList &words);

// The options of this run, as main() took them.
const OutputOptions &output();
void setOutput(const OutputOptions &options);

} // namespace cli
