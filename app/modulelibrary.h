#pragma once

#include <QString>
#include <QtGlobal>

// The entry point `symbol` of the module file `fileName`, looked for beside the
// program (a build run in place), then where installing puts it; a module once
// loaded stays loaded. Only a module of this very build counts (its version,
// checked before any other call, matches). Nothing, with every cause in
// `failure`, when neither place has one.
QFunctionPointer moduleEntry(const QString &fileName, const char *symbol, QString *failure);
