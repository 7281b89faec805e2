#ifndef TAGRECORD_H
#define TAGRECORD_H

#include "quillet.h"
#include "tagfield.h"
#include "widetext.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// One file's record as readTag fills it, owning the cover buffer that readTag hands over, in Qt's
// types: the one place where the programs meet the library.
class TagRecord
{
public:
    TagRecord() = default;
    ~TagRecord();

    TagRecord(const TagRecord &) = delete;
    TagRecord &operator=(const TagRecord &) = delete;
    // The cover's buffer goes with the record, never copied.
    TagRecord(TagRecord &&other) noexcept;
    TagRecord &operator=(TagRecord &&other) noexcept;

    // Reads the file; false with the reason when it is missing or not audio that can be read.
    // The record is then empty.
    bool read(const QString &path, QString *reason = nullptr);

    // Saves the record's fields, and cover as the new cover unless it is empty (the file's
    // covers then stay as they are). Returns saveTag's result: 0 when saved; otherwise the file
    // is as it was, and reason says why ("permission denied; the file is unchanged").
    int save(const QString &path, const QByteArray &cover, QString *reason = nullptr);

    QString text(const TagField &field) const;
    void setText(const TagField &field, const QString &text);
    QString report() const;
    // The report's part on the audio (bitrate, sample rate, channels, length): what a save of
    // the tags leaves as it is. Empty when there is none.
    QString audioReport() const;

    // The cover's exact bytes; empty when there is none. An empty cover counts as none.
    QByteArray cover() const;
    // The same bytes without a copy, valid while the record lives and is not read again.
    QByteArrayView coverView() const;
    qint64 coverSize() const;

private:
    void clear();

    tagstruct m_tag;
};

#endif // TAGRECORD_H
