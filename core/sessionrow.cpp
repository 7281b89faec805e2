#include "sessionrow.h"

#include "tagfield.h"
#include "tagrecord.h"

#include <QHash>

namespace {

// One of the seven's numbers as typed: by the rule they were always saved by (" 07" as 7, 0
// removes it, no number at all refuses the save). Other values, a date from elsewhere
// ("2001-05-03"), several or none, are set as they are.
const TagField *typedNumberField(const SessionValue &change)
{
    if (change.values.size() != 1)
        return nullptr;
    for (const TagField &field : tagFields) {
        if (!field.isNumber
            || change.key != QLatin1String(field.key.data(), qsizetype(field.key.size())))
            continue;
        const QString text = change.values.value(0).trimmed();
        qsizetype digits = 0;
        while (digits < text.size() && text[digits].isDigit())
            ++digits;
        const bool total = field.withTotal && digits < text.size() && text[digits] == u'/';
        return digits == 0 || digits == text.size() || total ? &field : nullptr;
    }
    return nullptr;
}

} // namespace

quint64 sessionCoverId(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return 0;
    // Seeded with the size; never 0, which stands for no cover.
    return quint64(qHash(QByteArrayView(bytes), std::size_t(bytes.size()))) | 1;
}

SessionRead SessionRead::of(const QString &path)
{
    SessionRead read;
    TagRecord record;
    if (!record.read(path, &read.problem))
        return read;
    for (const TagProperty &property : record.properties()) {
        if (!property.values.isEmpty())
            read.values.append({property.key.toUpper(), property.values});
    }
    read.audio = record.audioReport();
    const QByteArrayView cover = record.coverView();
    if (!cover.isEmpty())
        read.coverId = quint64(qHash(cover, std::size_t(cover.size()))) | 1;
    return read;
}

int saveSessionFile(const QString &path, const QList<SessionValue> &changes,
                    const QByteArray &cover, QString *reason)
{
    TagChanges save;
    for (const SessionValue &change : changes) {
        if (const TagField *field = typedNumberField(change))
            save.setText(*field, change.values.value(0));
        else
            save.set(change.key, change.values);
    }
    if (!cover.isEmpty()) {
        // The file's front covers give way to the one chosen.
        save.removePictures(int(TagPictureType::FrontCover));
        TagPicture picture;
        picture.data = cover;
        save.putPicture(picture);
    }
    return save.save(path, reason);
}

void readSessionDetails(const QString &path, QString *report, QByteArray *cover)
{
    TagRecord record;
    record.read(path);
    *report = record.report();
    *cover = record.cover();
}
