#include "download/id3tags.h"

#include <QFile>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tstring.h>
#include <taglib/urllinkframe.h>

namespace download {

namespace {

TagLib::String utf8(const QString &text)
{
    return TagLib::String(text.toStdString(), TagLib::String::UTF8);
}

// The picture's type by its first bytes; the avatar host's labels are not trusted.
TagLib::String pictureType(const QByteArray &picture)
{
    if (picture.startsWith("\x89PNG"))
        return "image/png";
    if (picture.startsWith("GIF8"))
        return "image/gif";
    return "image/jpeg";
}

} // namespace

QString writeTags(const QString &path, const WorkTags &tags)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
    if (!file.isOpen() || !file.isValid())
        return QStringLiteral("not an MP3 file");
    TagLib::ID3v2::Tag *tag = file.ID3v2Tag(true);
    tag->setTitle(utf8(tags.title));
    tag->setArtist(utf8(tags.artist));
    tag->removeFrames("APIC");
    tag->removeFrames("WOAS");
    if (!tags.cover.isEmpty()) {
        auto *picture = new TagLib::ID3v2::AttachedPictureFrame;
        picture->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        picture->setMimeType(pictureType(tags.cover));
        picture->setPicture(TagLib::ByteVector(tags.cover.constData(), static_cast<unsigned>(tags.cover.size())));
        tag->addFrame(picture);
    }
    if (!tags.pageAddress.isEmpty()) {
        auto *page = new TagLib::ID3v2::UrlLinkFrame(TagLib::ByteVector("WOAS"));
        page->setUrl(utf8(tags.pageAddress));
        tag->addFrame(page);
    }
    if (!file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v4))
        return QStringLiteral("the tag could not be saved");
    return QString();
}

QString taggedPageAddress(const QString &path)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
    TagLib::ID3v2::Tag *tag = file.isValid() ? file.ID3v2Tag() : nullptr;
    if (!tag)
        return QString();
    const TagLib::ID3v2::FrameList pages = tag->frameList("WOAS");
    if (pages.isEmpty())
        return QString();
    const auto *page = dynamic_cast<const TagLib::ID3v2::UrlLinkFrame *>(pages.front());
    return page ? QString::fromStdString(page->url().to8Bit(true)) : QString();
}

} // namespace download
