#include "savetesting.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <csignal>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/asftag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/audioproperties.h>
#include <taglib/commentsframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/trueaudiofile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

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
    if (picture.depth || picture.colours)
        text += QStringLiteral(", %1 bits, %2 colours").arg(picture.depth).arg(picture.colours);
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
    TagLib::MPEG::File file(fileNameBytes(path).constData(), false);
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
    TagLib::ASF::File file(fileNameBytes(path).constData(), false);
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
    TagLib::FLAC::File file(fileNameBytes(path).constData(), false);
    for (const TagLib::FLAC::Picture *picture : file.pictureList()) {
        pictures << Picture {picture->type(),
                             fromTagString(picture->mimeType()),
                             fromTagString(picture->description()),
                             byteArray(picture->data()),
                             picture->width(),
                             picture->height(),
                             picture->colorDepth(),
                             picture->numColors()};
    }
    return pictures;
}

namespace {

// The ID3v2 tag of a file that keeps one: MPEG, and the AIFF, WAV and TrueAudio containers.
TagLib::ID3v2::Tag *id3v2TagOf(TagLib::File *file)
{
    if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(file))
        return mpeg->ID3v2Tag(true);
    if (auto *aiff = dynamic_cast<TagLib::RIFF::AIFF::File *>(file))
        return aiff->tag();
    if (auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(file))
        return wav->ID3v2Tag();
    if (auto *trueAudio = dynamic_cast<TagLib::TrueAudio::File *>(file))
        return trueAudio->ID3v2Tag(true);
    return nullptr;
}

TagLib::APE::Tag *apeTagOf(TagLib::File *file)
{
    if (auto *ape = dynamic_cast<TagLib::APE::File *>(file))
        return ape->APETag(true);
    if (auto *wavPack = dynamic_cast<TagLib::WavPack::File *>(file))
        return wavPack->APETag(true);
    if (auto *musepack = dynamic_cast<TagLib::MPC::File *>(file))
        return musepack->APETag(true);
    return nullptr;
}

const char *apeCoverItem(int type)
{
    return type == 4 ? "Cover Art (Back)" : "Cover Art (Front)";
}

Picture pictureOf(const TagLib::FLAC::Picture &picture)
{
    return Picture {picture.type(),
                    fromTagString(picture.mimeType()),
                    fromTagString(picture.description()),
                    byteArray(picture.data()),
                    picture.width(),
                    picture.height(),
                    picture.colorDepth(),
                    picture.numColors()};
}

TagLib::FLAC::Picture *flacPicture(const Picture &picture)
{
    auto *flac = new TagLib::FLAC::Picture;
    flac->setMimeType(tagString(picture.mime));
    flac->setDescription(tagString(picture.description));
    flac->setType(static_cast<TagLib::FLAC::Picture::Type>(picture.type));
    flac->setData(byteVector(picture.bytes));
    flac->setWidth(picture.width);
    flac->setHeight(picture.height);
    flac->setColorDepth(picture.depth);
    flac->setNumColors(picture.colours);
    return flac;
}

} // namespace

QList<Picture> picturesOf(const QString &path)
{
    const TagLib::FileRef ref(fileNameBytes(path).constData(), false);
    TagLib::File *file = ref.file();
    QList<Picture> pictures;
    if (dynamic_cast<TagLib::ASF::File *>(file))
        return asfPictures(path);
    if (dynamic_cast<TagLib::FLAC::File *>(file))
        return flacPictures(path);
    if (auto *comment = dynamic_cast<TagLib::Ogg::XiphComment *>(file ? file->tag() : nullptr)) {
        for (const TagLib::FLAC::Picture *picture : comment->pictureList())
            pictures << pictureOf(*picture);
    } else if (auto *mp4 = dynamic_cast<TagLib::MP4::File *>(file)) {
        // No picture types here: -1.
        for (const TagLib::MP4::CoverArt &cover : mp4->tag()->item("covr").toCoverArtList()) {
            const bool png = cover.format() == TagLib::MP4::CoverArt::PNG;
            pictures << Picture {-1, png ? "image/png" : "image/jpeg", QString(),
                                 byteArray(cover.data())};
        }
    } else if (const TagLib::APE::Tag *ape = apeTagOf(file)) {
        for (const int type : {3, 4}) {
            const auto item = ape->itemListMap().find(TagLib::String(apeCoverItem(type)).upper());
            if (item == ape->itemListMap().end())
                continue;
            const QByteArray value = byteArray(item->second.binaryData());
            const int nul = value.indexOf('\0');
            pictures << Picture {type, QString(), QString::fromUtf8(value.left(nul)),
                                 value.mid(nul + 1)};
        }
    } else if (const TagLib::ID3v2::Tag *tag = id3v2TagOf(file)) {
        for (const TagLib::ID3v2::Frame *frame : tag->frameList("APIC")) {
            const auto *apic = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame *>(frame);
            if (apic)
                pictures << Picture {apic->type(), fromTagString(apic->mimeType()),
                                     fromTagString(apic->description()),
                                     byteArray(apic->picture())};
        }
    }
    return pictures;
}

bool addPictures(const QString &path, const QList<Picture> &pictures)
{
    const QByteArray name = fileNameBytes(path);
    TagLib::FileRef ref(name.constData(), false);
    TagLib::File *file = ref.file();
    if (auto *asf = dynamic_cast<TagLib::ASF::File *>(file)) {
        TagLib::ASF::AttributeList list;
        for (const Picture &picture : pictures) {
            TagLib::ASF::Picture item;
            item.setMimeType(tagString(picture.mime));
            item.setDescription(tagString(picture.description));
            item.setType(static_cast<TagLib::ASF::Picture::Type>(picture.type));
            item.setPicture(byteVector(picture.bytes));
            list.append(TagLib::ASF::Attribute(item));
        }
        // TagLib 1.13 saves the first small attribute of a name where it is read back last.
        if (list.size() > 1) {
            list.prepend(list.back());
            list.erase(--list.end());
        }
        asf->tag()->setAttribute(asfPictureName, list);
    } else if (auto *flac = dynamic_cast<TagLib::FLAC::File *>(file)) {
        for (const Picture &picture : pictures)
            flac->addPicture(flacPicture(picture));
    } else if (auto *comment
               = dynamic_cast<TagLib::Ogg::XiphComment *>(file ? file->tag() : nullptr)) {
        for (const Picture &picture : pictures)
            comment->addPicture(flacPicture(picture));
    } else if (auto *mp4 = dynamic_cast<TagLib::MP4::File *>(file)) {
        TagLib::MP4::CoverArtList covers;
        for (const Picture &picture : pictures) {
            const bool png = picture.mime == QLatin1String("image/png");
            covers.append(TagLib::MP4::CoverArt(png ? TagLib::MP4::CoverArt::PNG
                                                    : TagLib::MP4::CoverArt::JPEG,
                                                byteVector(picture.bytes)));
        }
        mp4->tag()->setItem("covr", TagLib::MP4::Item(covers));
    } else if (TagLib::APE::Tag *ape = apeTagOf(file)) {
        for (const Picture &picture : pictures) {
            const QByteArray value = picture.description.toUtf8() + '\0' + picture.bytes;
            ape->setItem(apeCoverItem(picture.type),
                         TagLib::APE::Item(apeCoverItem(picture.type), byteVector(value), true));
        }
    } else if (TagLib::ID3v2::Tag *tag = id3v2TagOf(file)) {
        for (const Picture &picture : pictures) {
            auto *frame = new TagLib::ID3v2::AttachedPictureFrame;
            frame->setMimeType(tagString(picture.mime));
            frame->setDescription(tagString(picture.description));
            frame->setType(static_cast<TagLib::ID3v2::AttachedPictureFrame::Type>(picture.type));
            frame->setPicture(byteVector(picture.bytes));
            tag->addFrame(frame);
        }
    } else {
        return false;
    }
    return file->save();
}

QStringList id3v2Comments(const QString &path)
{
    QStringList comments;
    const TagLib::FileRef ref(fileNameBytes(path).constData(), false);
    const TagLib::ID3v2::Tag *tag = id3v2TagOf(ref.file());
    for (const TagLib::ID3v2::Frame *frame :
         tag ? tag->frameList("COMM") : TagLib::ID3v2::FrameList()) {
        const auto *comment = dynamic_cast<const TagLib::ID3v2::CommentsFrame *>(frame);
        comments << QString::fromLatin1(byteArray(comment->language())) + QLatin1Char('/')
                        + fromTagString(comment->description()) + QLatin1Char('/')
                        + fromTagString(comment->text());
    }
    return comments;
}

bool addId3v2Comments(const QString &path, const QStringList &comments)
{
    TagLib::FileRef ref(fileNameBytes(path).constData(), false);
    TagLib::ID3v2::Tag *tag = id3v2TagOf(ref.file());
    for (const QString &text : comments) {
        const QStringList parts = text.split(QLatin1Char('/'));
        auto *frame = new TagLib::ID3v2::CommentsFrame(TagLib::String::UTF8);
        frame->setLanguage(parts.at(0).toLatin1().constData());
        frame->setDescription(tagString(parts.at(1)));
        frame->setText(tagString(parts.at(2)));
        tag->addFrame(frame);
    }
    return ref.save();
}

Fields fieldsOf(const QString &path)
{
    Fields fields;
    const TagLib::FileRef ref(fileNameBytes(path).constData(), false);
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

QStringList entriesOf(const QString &folder)
{
    QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                 | QDir::NoDotAndDotDot);
    entries.sort();
    return entries;
}

struct stat statOf(const QString &path)
{
    struct stat info = {};
    lstat(QFile::encodeName(path).constData(), &info);
    return info;
}

bool setMode(const QString &path, mode_t mode)
{
    return chmod(QFile::encodeName(path).constData(), mode) == 0;
}

bool makeLongMpeg(const QString &path, qint64 size, const QByteArray &cover)
{
    TagLib::ID3v2::Tag tag;
    tag.setTitle("old title");
    if (!cover.isEmpty()) {
        auto *frame = new TagLib::ID3v2::AttachedPictureFrame;
        frame->setMimeType("image/jpeg");
        frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        frame->setPicture(byteVector(cover));
        tag.addFrame(frame);
    }
    const TagLib::ByteVector rendered = tag.render();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(rendered.data(), rendered.size());
    QByteArray frame(417, '\0');
    frame[0] = '\xFF';
    frame[1] = '\xFB';
    frame[2] = '\x90';
    frame[3] = '\x64';
    const QByteArray block = frame.repeated(256);
    while (file.size() < size) {
        if (file.write(block) != block.size())
            return false;
    }
    return file.flush();
}

int lengthInMilliseconds(const QString &path)
{
    const TagLib::MPEG::File file(fileNameBytes(path).constData(), true);
    return file.audioProperties() ? file.audioProperties()->lengthInMilliseconds() : -1;
}

bool runUntil(const std::function<int()> &work, const std::function<bool(qint64)> &stop)
{
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0)
        _exit(work());
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child)
            return true;
        if (stop(clock.elapsed()))
            break;
        usleep(100);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return false;
}

int holdLock(const QString &path, bool exclusive)
{
    const int fd = open(QFile::encodeName(path).constData(),
                        (exclusive ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    struct flock lock = {};
    lock.l_type = exclusive ? F_WRLCK : F_RDLCK;
    lock.l_whence = SEEK_SET;
    if (fd >= 0 && fcntl(fd, F_OFD_SETLK, &lock) == 0)
        return fd;
    if (fd >= 0)
        close(fd);
    return -1;
}

namespace {

QString beside(const QString &path, const QString &suffix)
{
    const QFileInfo info(path);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + suffix;
}

} // namespace

QString journalOf(const QString &path)
{
    return beside(path, QStringLiteral(".quillet-journal"));
}

QString copyOf(const QString &path)
{
    return beside(path, QStringLiteral(".quillet-copy"));
}

} // namespace testsupport
