#include "app/modulelibrary.h"

#include "config/moduleabi.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QStringList>

#include <cstring>

QFunctionPointer moduleEntry(const QString &fileName, const char *symbol, QString *failure)
{
    const QString folder = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    QStringList tried;
    for (const QString &path : {folder + fileName, folder + QStringLiteral(CANTORA_MODULE_DIR "/") + fileName}) {
        // Never unloaded: what an entry hands out lives in the module's code.
        QLibrary module(path);
        if (!module.load()) {
            tried << module.errorString();
            continue;
        }
        // Its version first, a plain C call: nothing else is called in a module of another build.
        const auto abi = reinterpret_cast<ModuleAbiEntry>(module.resolve(CANTORA_MODULE_ABI_SYMBOL));
        if (!abi) {
            tried << QStringLiteral("%1: a module of another build (it names no version)").arg(path);
            continue;
        }
        if (const char *built = abi(); std::strcmp(built, CANTORA_MODULE_ABI) != 0) {
            tried << QStringLiteral("%1: a module of another build (\"%2\", this program needs \"%3\")")
                         .arg(path, QString::fromUtf8(built), QStringLiteral(CANTORA_MODULE_ABI));
            continue;
        }
        if (const QFunctionPointer entry = module.resolve(symbol))
            return entry;
        tried << module.errorString();
    }
    if (failure)
        *failure = tried.join(QStringLiteral("; "));
    return nullptr;
}
