#include "tagrecord.h"

#include <QFile>
#include <QFileInfo>

TagRecord::~TagRecord()
{
    delete[] m_tag.picture;
}

bool TagRecord::read(const QString &path, QString *reason)
{
    delete[] m_tag.picture;
    m_tag.picture = nullptr;

    // Opening a named pipe or a device could wait for ever or read what is not a file.
    const QFileInfo info(path);
    if (!info.isFile()) {
        *reason = !info.exists() ? QStringLiteral("no such file")
                : info.isDir()   ? QStringLiteral("is a folder")
                                 : QStringLiteral("not a regular file");
        return false;
    }

    readTag(toWide(path), &m_tag);
    // Every file TagLib opens reports something: its tag, its audio, or both. readTag says
    // nothing of why a file gave nothing; a file that cannot be opened is told apart here.
    if (m_tag.info.empty()) {
        QFile file(path);
        *reason = file.open(QIODevice::ReadOnly) ? QStringLiteral("not an audio file")
                                                 : file.errorString();
        return false;
    }
    return true;
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
        *reason = QStringLiteral("the tags could not be saved; the file is unchanged");
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

std::wstring toWide(const QString &text)
{
    return text.toStdWString();
}

QString fromWide(const std::wstring &text)
{
    return QString::fromStdWString(text);
}
