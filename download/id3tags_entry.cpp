// The tagging module's entry points; the window finds them by name.

#include "config/moduleabi.h"
#include "download/id3tags.h"

extern "C" Q_DECL_EXPORT const char *cantora_module_abi()
{
    return CANTORA_MODULE_ABI;
}

extern "C" Q_DECL_EXPORT void cantora_write_tags(const QString &path, const download::WorkTags &tags, QString &failure)
{
    failure = download::writeTags(path, tags);
}

extern "C" Q_DECL_EXPORT void cantora_tagged_page_address(const QString &path, QString &pageAddress)
{
    pageAddress = download::taggedPageAddress(path);
}
