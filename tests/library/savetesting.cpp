#include "savetesting.h"

#include <QCryptographicHash>
#include <QFileInfo>

#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/asftag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

#include "testsupport.h"

namespace testsupport {

namespace {

const TagLib::String asfPictureName("WM/Picture", TagLib::String::Latin1);

} // namespace

const QString recordTitle = QStringLiteral("Grüße 😀");

QByteArray coverBytes(const QByteArray &seed, int size)
{
    QByteArray bytes("\xFF\xD8\xFF\xE0", 4);
    while (bytes.size() < size)
        bytes += seed;
    bytes.resize(size);
    return bytes;
}

QString describe(const Picture &picture)
{
    const QByteArray digest
            = QCryptographicHash::hash(picture.bytes, QCryptographicHash::Sha1).toHex().left(12);
    QString text = QStringLiteral("type %1, mime \"%2\", description \"%3\", %4 bytes %5")
                           .arg(picture.type)
                           .arg(picture.mime, picture.description)
                           .arg(picture.bytes.size())
                           .arg(QString::fromLatin1(digest));
    if (picture.width || picture.height)
        text += QStringLiteral(", %1x%2").arg(picture.width).arg(picture.height);
    return text;
}

QStringList describe(const QList<Picture> &pictures)
{
    QStringList list;
    for (const Picture &picture : pictures)
        list << describe(picture);
    return list;
}

TagLib::ByteVector byteVector(const QByteArray &bytes)
{
    return TagLib::ByteVector(bytes.constData(), static_cast<unsigned int>(bytes.size()));
}

QByteArray byteArray(const TagLib::ByteVector &bytes)
{
    return QByteArray(bytes.data(), static_cast<int>(bytes.size()));
}

QList<Picture> mpegPictures(const QString &path)
{
    QList<Picture> pictures;
    TagLib::MPEG::File file(nativeName(path).constData(), false);
    const TagLib::ID3v2::Tag *tag = file.ID3v2Tag(false);
    if (!tag)
        return pictures;
    for (const TagLib::ID3v2::Frame *frame : tag->frameList("APIC")) {
        const auto *apic = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame *>(frame);
        if (!apic)
            continue;
        pictures << Picture {apic->type(), fromTagString(apic->mimeType()),
                             fromTagString(apic->description()), byteArray(apic->picture())};
    }
    return pictures;
}

QList<Picture> asfPictures(const QString &path)
{
    QList<Picture> pictures;
    TagLib::ASF::File file(nativeName(path).constData(), false);
    if (!file.tag())
        return pictures;
    for (const TagLib::ASF::Attribute &attribute : file.tag()->attribute(asfPictureName)) {
        const TagLib::ASF::Picture picture = attribute.toPicture();
        pictures << Picture {picture.type(), fromTagString(picture.mimeType()),
                             fromTagString(picture.description()), byteArray(picture.picture())};
    }
    return pictures;
}

QList<Picture> flacPictures(const QString &path)
{
    QList<Picture> pictures;
    TagLib::FLAC::File file(nativeName(path).constData(), false);
    for (const TagLib::FLAC::Picture *picture : file.pictureList()) {
        pictures << Picture {picture->type(),
                             fromTagString(picture->mimeType()),
                             fromTagString(picture->description()),
                             byteArray(picture->data()),
                             picture->width(),
                             picture->height()};
    }
    return pictures;
}

QList<Picture> picturesOf(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix();
    if (suffix == QLatin1String("wma"))
        return asfPictures(path);
    if (suffix == QLatin1String("flac"))
        return flacPictures(path);
    return mpegPictures(path);
}

bool addPictures(const QString &path, const QList<Picture> &pictures)
{
    const QByteArray name = nativeName(path);
    const QString suffix = QFileInfo(path).suffix();
    if (suffix == QLatin1String("mp3")) {
        TagLib::MPEG::File file(name.constData());
        for (const Picture &picture : pictures) {
            auto *frame = new TagLib::ID3v2::AttachedPictureFrame;
            frame->setMimeType(tagString(picture.mime));
            frame->setDescription(tagString(picture.description));
            frame->setType(static_cast<TagLib::ID3v2::AttachedPictureFrame::Type>(picture.type));
            frame->setPicture(byteVector(picture.bytes));
            file.ID3v2Tag(true)->addFrame(frame);
        }
        return file.save();
    }
    if (suffix == QLatin1String("wma")) {
        TagLib::ASF::File file(name.constData());
        TagLib::ASF::AttributeList list;
        for (const Picture &picture : pictures) {
            TagLib::ASF::Picture asf;
            asf.setMimeType(tagString(picture.mime));
            asf.setDescription(tagString(picture.description));
            asf.setType(static_cast<TagLib::ASF::Picture::Type>(picture.type));
            asf.setPicture(byteVector(picture.bytes));
            list.append(TagLib::ASF::Attribute(asf));
        }
        // TagLib 1.13 saves the first small attribute of a name where it is read back last.
        if (list.size() > 1) {
            list.prepend(list.back());
            list.erase(--list.end());
        }
        file.tag()->setAttribute(asfPictureName, list);
        return file.save();
    }
    TagLib::FLAC::File file(name.constData());
    for (const Picture &picture : pictures) {
        auto *flac = new TagLib::FLAC::Picture;
        flac->setMimeType(tagString(picture.mime));
        flac->setDescription(tagString(picture.description));
        flac->setType(static_cast<TagLib::FLAC::Picture::Type>(picture.type));
        flac->setData(byteVector(picture.bytes));
        flac->setWidth(picture.width);
        flac->setHeight(picture.height);
        file.addPicture(flac);
    }
    return file.save();
}

Fields fieldsOf(const QString &path)
{
    Fields fields;
    const TagLib::FileRef ref(nativeName(path).constData(), false);
    if (const TagLib::Tag *tag = ref.isNull() ? nullptr : ref.tag()) {
        fields.title = fromTagString(tag->title());
        fields.artist = fromTagString(tag->artist());
        fields.album = fromTagString(tag->album());
        fields.comment = fromTagString(tag->comment());
        fields.genre = fromTagString(tag->genre());
        fields.year = tag->year();
        fields.track = tag->track();
    }
    return fields;
}

tagstruct record(const QString &year, const QString &track)
{
    tagstruct tag;
    tag.title = wide(recordTitle);
    tag.artist = wide(QStringLiteral("Ärzte ∑"));
    tag.album = wide(QStringLiteral("Album ☃"));
    tag.comment = wide(QStringLiteral("Comment 🎵 text"));
    tag.genre = wide(QStringLiteral("Genre"));
    tag.year = wide(year);
    tag.track = wide(track);
    return tag;
}

int save(const QString &path, tagstruct tag, const QByteArray &picture)
{
    QByteArray buffer = picture;
    tag.picture = buffer.isEmpty() ? nullptr : buffer.data();
    tag.pictureSize = static_cast<std::int32_t>(buffer.size());
    return saveTag(wide(path), &tag);
}

} // namespace testsupport
