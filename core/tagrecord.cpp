#include "tagrecord.h"

#include <QFile>
#include <QFileInfo>

#include <string>
#include <utility>

namespace {

// The record's wide strings and Qt's strings meet only here.
std::wstring toWide(const QString &text)
{
    return text.toStdWString();
}

QString fromWide(const std::wstring &text)
{
    return QString::fromStdWString(text);
}

void setReason(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
}

} // namespace

TagRecord::~TagRecord()
{
    delete[] m_tag.picture;
}

TagRecord::TagRecord(TagRecord &&other) noexcept
    : m_tag(std::move(other.m_tag))
{
    other.m_tag.picture = nullptr;
    other.m_tag.pictureSize = 0;
}

TagRecord &TagRecord::operator=(TagRecord &&other) noexcept
{
    if (this != &other) {
        delete[] m_tag.picture;
        m_tag = std::move(other.m_tag);
        other.m_tag.picture = nullptr;
        other.m_tag.pictureSize = 0;
    }
    return *this;
}

void TagRecord::clear()
{
    delete[] m_tag.picture;
    m_tag = tagstruct();
}

bool TagRecord::read(const QString &path, QString *reason)
{
    clear();

    // Opening a named pipe or a device could wait for ever or read what is not a file.
    const QFileInfo info(path);
    if (!info.isFile()) {
        setReason(reason,
                  !info.exists()         ? QStringLiteral("no such file")
                          : info.isDir() ? QStringLiteral("is a folder")
                                         : QStringLiteral("not a regular file"));
        return false;
    }

    readTag(toWide(path), &m_tag);
    // Every file TagLib opens reports something: its tag, its audio, or both. readTag says
    // nothing of why a file gave nothing; a file that cannot be opened is told apart here.
    if (m_tag.info.empty()) {
        QFile file(path);
        setReason(reason,
                  file.open(QIODevice::ReadOnly) ? QStringLiteral("not an audio file")
                                                 : file.errorString());
        return false;
    }
    return true;
}

int TagRecord::save(const QString &path, const QByteArray &cover, QString *reason)
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
        setReason(reason, QStringLiteral("the tags could not be saved; the file is unchanged"));
    return result;
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
    return coverView().toByteArray();
}

QByteArrayView TagRecord::coverView() const
{
    return QByteArrayView(m_tag.picture, coverSize());
}

qint64 TagRecord::coverSize() const
{
    return m_tag.picture ? qMax(m_tag.pictureSize, 0) : 0;
}
