#include "testsupport.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <taglib/fileref.h>
#include <taglib/tag.h>

namespace testsupport {

QString fixture(const QString &name)
{
    return QDir(QStringLiteral(TAGDESK_TEST_DATA)).filePath(name);
}

QString copyFixture(const QTemporaryDir &dir, const QString &name, const QString &as)
{
    const QString target = dir.filePath(as.isEmpty() ? name : as);
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile::remove(target);
    if (!QFile::copy(fixture(name), target))
        return QString();
    QFile::setPermissions(
            target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return target;
}

QByteArray encode(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            && file.write(bytes) == bytes.size();
}

QStringList entriesUnder(const QString &folder)
{
    const QDir base(folder);
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << base.relativeFilePath(it.next());
    entries.sort();
    return entries;
}

std::wstring wide(const QString &text)
{
    return text.toStdWString();
}

QString fromWide(const std::wstring &text)
{
    return QString::fromStdWString(text);
}

QByteArray fileNameBytes(const QString &path)
{
    return QFile::encodeName(path);
}

TagLib::String tagString(const QString &text)
{
    return TagLib::String(text.toStdString(), TagLib::String::UTF8);
}

QString fromTagString(const TagLib::String &text)
{
    return QString::fromStdString(text.to8Bit(true));
}

bool writeFields(const QString &path)
{
    const QByteArray name = fileNameBytes(path);
    TagLib::FileRef ref(name.constData());
    if (ref.isNull() || !ref.tag())
        return false;
    TagLib::Tag *tag = ref.tag();
    tag->setTitle(tagString(QStringLiteral("Tone")));
    tag->setArtist(tagString(QStringLiteral("Tester")));
    tag->setAlbum(tagString(QStringLiteral("Fixtures")));
    tag->setYear(2001);
    tag->setComment(tagString(QStringLiteral("made at run time")));
    tag->setTrack(7);
    tag->setGenre(tagString(QStringLiteral("Test")));
    return ref.save();
}

ReadResult read(const QString &path)
{
    ReadResult result;
    readTag(wide(path), &result.tag);
    if (result.tag.picture) {
        result.hasPicture = true;
        result.picture = QByteArray(result.tag.picture, result.tag.pictureSize);
        delete[] result.tag.picture;
        result.tag.picture = nullptr;
    }
    return result;
}

} // namespace testsupport
