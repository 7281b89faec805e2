#include "sessionrow.h"

#include "tagfield.h"
#include "tagrecord.h"

#include <QBuffer>
#include <QHash>
#include <QImageReader>
#include <QMimeDatabase>

#include <cerrno>

namespace {

// The width and height an image's header gives, without decoding it.
QSize headerSize(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return reader.size();
}

QByteArray bytesOf(const TagRecord &record, quint64 dataId)
{
    for (const TagPicture &picture : record.pictures()) {
        if (sessionCoverId(picture.data) == dataId)
            return picture.data;
    }
    return QByteArray();
}

QList<SessionPicture> ofKey(const QList<SessionPicture> &pictures, int type,
                            const QString &description)
{
    QList<SessionPicture> found;
    for (const SessionPicture &picture : pictures) {
        if (picture.sameKey(type, description))
            found.append(picture);
    }
    return found;
}

} // namespace

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

SessionPicture SessionPicture::of(int type, const QString &description, const QByteArray &bytes)
{
    SessionPicture picture;
    picture.type = type;
    picture.description = description;
    picture.size = bytes.size();
    const QSize size = headerSize(bytes);
    picture.width = qMax(0, size.width());
    picture.height = qMax(0, size.height());
    const QMimeType mime = QMimeDatabase().mimeTypeForData(bytes);
    if (mime.name().startsWith(QLatin1String("image/")))
        picture.mime = mime.name();
    picture.dataId = sessionCoverId(bytes);
    picture.data = bytes;
    return picture;
}

QByteArray SessionPictureSource::bytes() const
{
    if (!data.isEmpty() || dataId == 0)
        return data;
    TagRecord record;
    if (!record.read(path))
        return QByteArray();
    return bytesOf(record, dataId);
}

qsizetype sessionFrontPicture(const QList<SessionPicture> &pictures)
{
    for (qsizetype i = 0; i < pictures.size(); ++i) {
        if (pictures[i].type == int(TagPictureType::FrontCover))
            return pictures[i].size > 0 ? i : -1;
    }
    for (qsizetype i = 0; i < pictures.size(); ++i) {
        if (pictures[i].type == int(TagPictureType::Other) && pictures[i].size > 0)
            return i;
    }
    return -1;
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
    for (const TagPicture &picture : record.pictures()) {
        SessionPicture held;
        held.type = picture.type;
        held.mime = picture.mime;
        held.description = picture.description;
        held.size = picture.data.size();
        held.width = picture.width;
        held.height = picture.height;
        if (held.width <= 0 || held.height <= 0) {
            const QSize size = headerSize(picture.data);
            held.width = qMax(0, size.width());
            held.height = qMax(0, size.height());
        }
        held.dataId = sessionCoverId(picture.data);
        read.pictures.append(std::move(held));
    }
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

int saveSessionFile(const QString &path, const QList<SessionValue> &changes,
                    const QList<SessionPicture> &read, const QList<SessionPicture> &shown,
                    const QHash<quint64, QByteArray> &kept, QHash<quint64, QByteArray> *removed,
                    QString *reason)
{
    TagChanges save;
    for (const SessionValue &change : changes) {
        if (const TagField *field = typedNumberField(change))
            save.setText(*field, change.values.value(0));
        else
            save.set(change.key, change.values);
    }

    // Each type and description the user acted on, in the order shown, then those removed.
    QList<QPair<int, QString>> keys;
    for (const QList<SessionPicture> *list : {&shown, &read}) {
        for (const SessionPicture &picture : *list) {
            const QPair<int, QString> key {picture.type, picture.description};
            if (!keys.contains(key))
                keys.append(key);
        }
    }
    QList<QPair<int, QString>> removes;
    QList<SessionPicture> puts;
    QList<SessionPicture> replaced;
    bool needFile = false;
    for (const auto &[type, description] : std::as_const(keys)) {
        const QList<SessionPicture> before = ofKey(read, type, description);
        const QList<SessionPicture> after = ofKey(shown, type, description);
        if (before == after)
            continue;
        replaced.append(before);
        if (removed && !before.isEmpty())
            needFile = true;
        if (after.isEmpty()) {
            removes.append({type, description});
            continue;
        }
        puts.append(after.first());
        if (after.first().data.isEmpty() && !kept.contains(after.first().dataId))
            needFile = true;
    }

    TagRecord record;
    if (needFile && !record.read(path, reason)) {
        if (reason)
            *reason += QStringLiteral("; the file is unchanged");
        errno = EIO;
        return -1;
    }
    for (const auto &[type, description] : std::as_const(removes))
        save.removePictures(type, description);
    for (const SessionPicture &put : std::as_const(puts)) {
        TagPicture picture;
        picture.type = put.type;
        picture.mime = put.mime;
        picture.description = put.description;
        picture.data = !put.data.isEmpty()  ? put.data
                : kept.contains(put.dataId) ? kept.value(put.dataId)
                                            : bytesOf(record, put.dataId);
        if (picture.data.isEmpty()) {
            if (reason)
                *reason = QStringLiteral(
                        "a picture is no longer in the file as it was read; the file is unchanged");
            errno = ESTALE;
            return -1;
        }
        save.putPicture(picture, true);
    }
    const int result = save.save(path, reason);
    if (result == 0 && removed) {
        for (const SessionPicture &gone : std::as_const(replaced)) {
            const QByteArray bytes = bytesOf(record, gone.dataId);
            if (!bytes.isEmpty())
                removed->insert(gone.dataId, bytes);
        }
    }
    return result;
}

void readSessionDetails(const QString &path, QString *report, QByteArray *cover)
{
    TagRecord record;
    record.read(path);
    *report = record.report();
    *cover = record.cover();
}
