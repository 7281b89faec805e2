#include "testsupport.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cmath>
#include <cstring>

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

bool writeSine(const QString &path, int rate, const QList<double> &amplitudes, double seconds,
               double frequency, double phase)
{
    const auto channels = static_cast<quint16>(amplitudes.size());
    const auto frames = static_cast<quint32>(std::lround(seconds * rate));
    const quint32 dataSize = frames * channels * 4;
    QByteArray wav;
    const auto put32 = [&wav](quint32 v) { wav.append(4, 0), qToLittleEndian(v, wav.end() - 4); };
    const auto put16 = [&wav](quint16 v) { wav.append(2, 0), qToLittleEndian(v, wav.end() - 2); };
    wav.append("RIFF"), put32(36 + dataSize), wav.append("WAVEfmt "), put32(16);
    put16(3), put16(channels), put32(quint32(rate)), put32(quint32(rate) * channels * 4);
    put16(quint16(channels * 4)), put16(32), wav.append("data"), put32(dataSize);
    for (quint32 i = 0; i < frames; ++i) {
        const double value = std::sin(2 * M_PI * frequency * i / rate + phase);
        for (const double amplitude : amplitudes) {
            const auto sample = static_cast<float>(amplitude * value);
            quint32 bits;
            std::memcpy(&bits, &sample, 4);
            put32(bits);
        }
    }
    return writeAll(path, wav);
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
