#include "app/tagsmodule.h"

#include "app/modulelibrary.h"
#include "download/downloadstatus.h"

using download::WorkTags;

namespace {

// The module's entry points (download/id3tags_entry.cpp).
using WriteEntry = void (*)(const QString &path, const WorkTags &tags, QString &failure);
using ReadEntry = void (*)(const QString &path, QString &pageAddress);

struct TagsModule final
{
    WriteEntry write = nullptr;
    ReadEntry read = nullptr;
    QString failure;
};

const TagsModule &tagsModule()
{
    static const TagsModule module = [] {
        TagsModule loaded;
        const QString name = QStringLiteral(CANTORA_TAGS_MODULE);
        loaded.write = reinterpret_cast<WriteEntry>(moduleEntry(name, "cantora_write_tags", &loaded.failure));
        if (loaded.write)
            loaded.read =
                reinterpret_cast<ReadEntry>(moduleEntry(name, "cantora_tagged_page_address", &loaded.failure));
        return loaded;
    }();
    return module;
}

} // namespace

QString ModuleTags::write(const QString &path, const WorkTags &tags)
{
    const TagsModule &module = tagsModule();
    if (!module.write)
        return download::tagModuleMissingText(module.failure);
    QString failure;
    module.write(path, tags, failure);
    return failure;
}

QString ModuleTags::pageAddress(const QString &path)
{
    QString pageAddress;
    if (const ReadEntry read = tagsModule().read)
        read(path, pageAddress);
    return pageAddress;
}
