#include "app/modulelibrary.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QStringList>

QFunctionPointer moduleEntry(const QString &fileName, const char *symbol, QString *failure)
{
    const QString folder = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    QStringList tried;
    for (const QString &path : {folder + fileName, folder + QStringLiteral(CANTORA_MODULE_DIR "/") + fileName}) {
        // Never unloaded: what an entry hands out lives in the module's code.
        QLibrary module(path);
        if (module.load()) {
            if (const QFunctionPointer entry = module.resolve(symbol))
                return entry;
        }
        tried << module.errorString();
    }
    if (failure)
        *failure = tried.join(QStringLiteral("; "));
    return nullptr;
}
