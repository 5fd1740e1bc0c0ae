#pragma once

#include "download/tagwriter.h"

// The window's tagging: TagLib, and the start-up work it brings, sits in a
// module opened the first time a file is tagged or looked into.
class ModuleTags final : public download::TagWriter
{
public:
    QString write(const QString &path, const download::WorkTags &tags) override;
    QString pageAddress(const QString &path) override;
};
