// The window's tagging. TagLib, and the start-up work it brings, sits in a
// module opened the first time a file is tagged or looked into.

#include "app/modulelibrary.h"
#include "download/downloadstatus.h"
#include "download/id3tags.h"

namespace download {

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

QString writeTags(const QString &path, const WorkTags &tags)
{
    const TagsModule &module = tagsModule();
    if (!module.write)
        return tagModuleMissingText(module.failure);
    QString failure;
    module.write(path, tags, failure);
    return failure;
}

QString taggedPageAddress(const QString &path)
{
    QString pageAddress;
    if (const ReadEntry read = tagsModule().read)
        read(path, pageAddress);
    return pageAddress;
}

} // namespace download
