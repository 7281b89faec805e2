#ifndef TAGRECORD_H
#define TAGRECORD_H

#include "quillet.h"
#include "widetext.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <string>

// The seven fields of the record, in the order the program shows them; name is the field's
// option, JSON key and label.
struct TagField
{
    const char *name;
    std::wstring tagstruct::*member;
};

inline constexpr std::array<TagField, 7> tagFields = {{
        {"title", &tagstruct::title},
        {"artist", &tagstruct::artist},
        {"album", &tagstruct::album},
        {"comment", &tagstruct::comment},
        {"year", &tagstruct::year},
        {"track", &tagstruct::track},
        {"genre", &tagstruct::genre},
}};

// One file's record as readTag fills it, owning the cover buffer that readTag hands over.
class TagRecord
{
public:
    TagRecord() = default;
    ~TagRecord();

    TagRecord(const TagRecord &) = delete;
    TagRecord &operator=(const TagRecord &) = delete;

    // Reads the file; false with the reason when it is missing or not audio that can be read.
    bool read(const QString &path, QString *reason);

    // Saves the record's fields, and cover as the new cover unless it is empty (the file's
    // covers then stay as they are). False with the reason when saveTag fails ("permission
    // denied; the file is unchanged").
    bool save(const QString &path, const QByteArray &cover, QString *reason);

    QString text(const TagField &field) const;
    void setText(const TagField &field, const QString &text);
    QString report() const;

    // The cover's exact bytes; empty when there is none. An empty cover counts as none.
    QByteArray cover() const;
    qint64 coverSize() const;

private:
    tagstruct m_tag;
};

// The image format of cover bytes, from their first bytes: "jpeg", "png", "gif", "bmp",
// "webp" or "tiff"; "unknown" for anything else and "none" for no bytes.
QString coverType(const QByteArray &bytes);

#endif // TAGRECORD_H
