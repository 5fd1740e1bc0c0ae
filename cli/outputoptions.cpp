#include "cli/outputoptions.h"

namespace cli {

namespace {
OutputOptions &current()
{
    static OutputOptions options;
    return options;
}
} // namespace

OutputOptions takeOutputOptions(QStringList &words)
{
    OutputOptions options;
    for (qsizetype i = 0; i < words.size() && words[i] != QLatin1String("--");) {
        const QString &word = words[i];
        if (word == QLatin1String("-q") || word == QLatin1String("--quiet"))
            options.level = OutputOptions::Level::Quiet;
        else if (word == QLatin1String("-v") || word == QLatin1String("--verbose"))
            options.level = OutputOptions::Level::Verbose;
        else {
            ++i;
            continue;
        }
        words.remove(i);
    }
    return options;
}

const OutputOptions &output()
{
    return current();
}

void setOutput(const OutputOptions &options)
{
    current() = options;
}

} // namespace cli
