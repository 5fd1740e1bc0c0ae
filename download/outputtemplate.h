#pragma once

#include <QString>

namespace download {

// The facts of a work a name template can use.
struct WorkNames final
{
    QString title, singer, id;
};

// What is wrong with `nameTemplate` as a name for every work of a batch, in a
// sentence for the user; empty when it can be used. A template must name each
// work apart ({title} or {id}), knows only {title}, {singer} and {id}, and has
// no part "." or "..".
QString templateProblem(const QString &nameTemplate);

// Where a work goes under `folder`: `nameTemplate` with its fields filled in,
// "/" making subfolders, each part made a safe file name (download/filename.h)
// and the last one ending in ".mp3". The result always lies inside `folder`:
// an absolute template, "..", "." and empty parts cannot lead out of it. An
// empty template gives the default "<title> - <singer>.mp3".
QString templatedPath(const QString &folder, const QString &nameTemplate, const WorkNames &names);

} // namespace download
