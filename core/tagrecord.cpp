#include "tagrecord.h"

#include "failurereason.h"

#include <cerrno>
#include <filesystem>

#include <string>
#include <utility>

namespace {

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

    readTag(toWide(path), &m_tag);
    // readTag's result is always 0: errno tells why a file gave nothing.
    const int error = errno;
    if (error == 0)
        return true;
    // The library opens no named pipe or device, which could wait for ever or read what is no
    // file; it counts them as no audio.
    std::error_code failed;
    const bool regular = std::filesystem::is_regular_file(filesystemPath(path), failed);
    setReason(reason,
              error == QUILLET_ENOTAUDIO && !regular ? QStringLiteral("not a regular file")
                                                     : failureReason(error));
    return false;
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
        setReason(reason, failureReason(errno) + QStringLiteral("; the file is unchanged"));
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

QString TagRecord::audioReport() const
{
    // The library ends its report with this block.
    const QString report = this->report();
    const qsizetype audio = report.lastIndexOf(QLatin1String("-- AUDIO --\n"));
    return audio < 0 ? QString() : report.mid(audio);
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
