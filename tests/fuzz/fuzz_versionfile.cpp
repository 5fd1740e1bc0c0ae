// Version files of any shape: the verdict is one of the three, and only the
// file naming this version unlocks.

#include "update/updatecheck.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const update::Verdict verdict = update::judge(text);
    const QString named = update::versionIn(text);
    switch (verdict.outcome) {
    case update::Outcome::Current:
        if (named != QLatin1String(update::kBuiltInVersion))
            std::abort();
        break;
    case update::Outcome::OtherVersion:
        if (named == QLatin1String(update::kBuiltInVersion))
            std::abort();
        (void)update::announcement(verdict.version);
        break;
    case update::Outcome::Unreadable:
        if (!text.isEmpty() && !named.isEmpty())
            std::abort();
        break;
    }
    return 0;
}
