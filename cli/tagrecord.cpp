#include "tagrecord.h"

#include "failurereason.h"

#include <cerrno>
#include <filesystem>

TagRecord::~TagRecord()
{
    delete[] m_tag.picture;
}

bool TagRecord::read(const QString &path, QString *reason)
{
    delete[] m_tag.picture;
    m_tag.picture = nullptr;

    readTag(toWide(path), &m_tag);
    // readTag's result is always 0: errno tells why a file gave nothing.
    const int error = errno;
    if (error == 0)
        return true;
    // The library opens no named pipe or device, which could wait for ever or read what is no
    // file; it counts them as no audio.
    std::error_code failed;
    const bool regular = std::filesystem::is_regular_file(filesystemPath(path), failed);
    *reason = error == QUILLET_ENOTAUDIO && !regular ? QStringLiteral("not a regular file")
                                                     : failureReason(error);
    return false;
}

bool TagRecord::save(const QString &path, const QByteArray &cover, QString *reason)
{
    // The library only reads the picture, and a cover read from the file is not written back.
    char *const ownCover = m_tag.picture;
    const std::int32_t ownCoverSize = m_tag.pictureSize;
    m_tag.picture = cover.isEmpty() ? nullptr : const_cast<char *>(cover.constData());
    m_tag.pictureSize = static_cast<std::int32_t>(cover.size());
    const int result = saveTag(toWide(path), &m_tag);
    m_tag.picture = ownCover;
    m_tag.pictureSize = ownCoverSize;

    if (result != 0)
        *reason = failureReason(errno) + QStringLiteral("; the file is unchanged");
    return result == 0;
}

QString TagRecord::text(const TagField &field) const
{
    return fromWide(m_tag.*field.member);
}

void TagRecord::setText(const TagField &field, const QString &text)
{
    m_tag.*field.member = toWide(text);
}

QString TagRecord::report() const
{
    return fromWide(m_tag.info);
}

QByteArray TagRecord::cover() const
{
    return QByteArray(m_tag.picture, coverSize());
}

qint64 TagRecord::coverSize() const
{
    return m_tag.picture ? qMax(m_tag.pictureSize, 0) : 0;
}

QString coverType(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return QStringLiteral("none");
    if (bytes.startsWith("\xFF\xD8\xFF"))
        return QStringLiteral("jpeg");
    if (bytes.startsWith("\x89PNG\r\n\x1A\n"))
        return QStringLiteral("png");
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a"))
        return QStringLiteral("gif");
    if (bytes.startsWith("BM"))
        return QStringLiteral("bmp");
    if (bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP")
        return QStringLiteral("webp");
    if (bytes.startsWith(QByteArray("II*\0", 4)) || bytes.startsWith(QByteArray("MM\0*", 4)))
        return QStringLiteral("tiff");
    return QStringLiteral("unknown");
}
