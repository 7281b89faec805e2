#include "tagrecord.h"

#include "failurereason.h"
#include "widetext.h"

#include "quilletc.h"

#include <QMutex>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace {

void setReason(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
}

QString fromUtf8(const char *utf8)
{
    return utf8 ? QString::fromUtf8(utf8) : QString();
}

struct TagFree
{
    void operator()(quillet_tag *tag) const { quillet_tag_free(tag); }
};
struct ChangesFree
{
    void operator()(quillet_changes *changes) const { quillet_changes_free(changes); }
};

qsizetype keyIndex(const QList<TagProperty> &list, const QString &key)
{
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list[i].key.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

// A number typed into one of the seven, by the rule they were always saved by (std::stoi's in
// base 10: leading white space, a sign, the digits up to the first other character, within 32
// bits) and at least 0. end: where the digits end.
std::optional<qint32> typedNumber(const QString &text, qsizetype *end)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        negative = text[i++] == QLatin1Char('-');
    const qsizetype first = i;
    qint64 magnitude = 0;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
        magnitude = magnitude * 10 + (text[i].unicode() - '0');
        if (magnitude > qint64(INT32_MAX) + 1)
            return std::nullopt;
    }
    const qint64 value = negative ? -magnitude : magnitude;
    if (i == first || value > INT32_MAX || value < 0)
        return std::nullopt;
    *end = i;
    return qint32(value);
}

QString keyOf(const TagField &field)
{
    return QString::fromLatin1(field.key.data(), qsizetype(field.key.size()));
}

// Fills a C change set; the error value of the first call that failed, else 0.
int fill(quillet_changes *target, const TagChanges &changes)
{
    for (const TagProperty &property : changes.keys()) {
        const QByteArray key = property.key.toUtf8();
        if (property.values.isEmpty()) {
            if (const int error = quillet_changes_remove(target, key.constData()))
                return error;
            continue;
        }
        std::vector<QByteArray> values;
        std::vector<const char *> pointers;
        values.reserve(std::size_t(property.values.size()));
        for (const QString &value : property.values) {
            values.push_back(value.toUtf8());
            pointers.push_back(values.back().constData());
        }
        if (const int error
            = quillet_changes_set(target, key.constData(), pointers.data(), pointers.size()))
            return error;
    }
    for (const TagChanges::PictureChange &change : changes.pictures()) {
        const TagPicture &picture = change.picture;
        const QByteArray description = picture.description.toUtf8();
        int error = 0;
        if (change.remove) {
            error = change.matchDescription ? quillet_changes_remove_pictures_described(
                            target, picture.type, description.constData())
                                            : quillet_changes_remove_pictures(target, picture.type);
        } else {
            const QByteArray mime = picture.mime.toUtf8();
            error = (change.matchDescription ? quillet_changes_put_picture_described
                                             : quillet_changes_put_picture)(
                    target, picture.type, mime.constData(), description.constData(),
                    picture.data.constData(), std::size_t(picture.data.size()));
        }
        if (error)
            return error;
    }
    return 0;
}

} // namespace

QString shortNumber(const QString &text)
{
    qsizetype digits = 0;
    while (digits < text.size() && text[digits].isDigit() && text[digits].unicode() < 128)
        ++digits;
    QString number = text.left(digits);
    while (number.size() > 1 && number.startsWith(QLatin1Char('0')))
        number.remove(0, 1);
    if (number.isEmpty())
        return QStringLiteral("0");
    return number.size() > 4 ? number.left(4) : number;
}

void TagChanges::set(const QString &key, const QStringList &values)
{
    const QString upper = key.toUpper();
    if (const qsizetype at = keyIndex(m_keys, upper); at >= 0)
        m_keys[at].values = values;
    else
        m_keys.append({upper, values});
}

void TagChanges::remove(const QString &key)
{
    set(key, {});
}

void TagChanges::setText(const TagField &field, const QString &text)
{
    if (!field.isNumber) {
        if (text.isEmpty())
            remove(keyOf(field));
        else
            set(keyOf(field), {text});
        return;
    }
    qsizetype end = 0;
    const std::optional<qint32> number = typedNumber(text, &end);
    if (!number) {
        // Saved as the library always refused such a number: nothing is written.
        m_invalid = true;
        return;
    }
    QString stored = QString::number(*number);
    // A track typed with its total keeps both ("3/12"); the total is left as it is otherwise.
    qsizetype totalEnd = 0;
    if (field.withTotal && end < text.size() && text[end] == QLatin1Char('/')) {
        if (const std::optional<qint32> total = typedNumber(text.mid(end + 1), &totalEnd))
            stored += QLatin1Char('/') + QString::number(*total);
    }
    if (*number == 0 && stored.size() == 1)
        remove(keyOf(field));
    else
        set(keyOf(field), {stored});
}

void TagChanges::putPicture(const TagPicture &picture, bool matchDescription)
{
    m_pictures.append({false, matchDescription, picture});
}

void TagChanges::removePictures(int type)
{
    TagPicture picture;
    picture.type = type;
    m_pictures.append({true, false, picture});
}

void TagChanges::removePictures(int type, const QString &description)
{
    TagPicture picture;
    picture.type = type;
    picture.description = description;
    m_pictures.append({true, true, picture});
}

int TagChanges::save(const QString &path, QString *reason) const
{
    // Even an empty change set goes to the library, which then checks that the file is one it
    // can write: a save to a missing file fails as it always did.
    const std::unique_ptr<quillet_changes, ChangesFree> changes(quillet_changes_new());
    int error = m_invalid ? EINVAL : changes ? fill(changes.get(), *this) : ENOMEM;
    if (error == 0) {
        // One save at a time in the process: two WAV saves at once under TagLib 2 corrupted
        // the heap now and then (quillet loudness --jobs 2). Reads still run side by side.
        static QMutex saving;
        const QMutexLocker locked(&saving);
        error = quillet_save(nativeName(path).constData(), changes.get());
    }
    if (error == 0)
        return 0;
    setReason(reason, failureReason(error) + QStringLiteral("; the file is unchanged"));
    errno = error;
    return -1;
}

bool TagRecord::read(const QString &path, QString *reason)
{
    *this = TagRecord();

    int error = 0;
    const std::unique_ptr<quillet_tag, TagFree> tag(
            quillet_read(nativeName(path).constData(), &error));
    if (!tag) {
        // The library opens no named pipe or device, which could wait for ever or read what is
        // no file; it counts them as no audio.
        std::error_code failed;
        const bool regular = std::filesystem::is_regular_file(filesystemPath(path), failed);
        setReason(reason,
                  error == QUILLET_ENOTAUDIO && !regular ? QStringLiteral("not a regular file")
                                                         : failureReason(error ? error : EIO));
        return false;
    }

    const std::size_t keys = quillet_tag_key_count(tag.get());
    m_properties.reserve(qsizetype(keys));
    for (std::size_t i = 0; i < keys; ++i) {
        TagProperty property {fromUtf8(quillet_tag_key(tag.get(), i)), {}};
        const std::size_t values = quillet_tag_value_count(tag.get(), i);
        for (std::size_t value = 0; value < values; ++value)
            property.values.append(fromUtf8(quillet_tag_value(tag.get(), i, value)));
        m_properties.append(std::move(property));
    }
    for (std::size_t i = 0, count = quillet_tag_unsupported_count(tag.get()); i < count; ++i)
        m_unsupported.append(fromUtf8(quillet_tag_unsupported(tag.get(), i)));
    for (std::size_t i = 0, count = quillet_tag_picture_count(tag.get()); i < count; ++i) {
        TagPicture picture;
        picture.type = quillet_tag_picture_type(tag.get(), i);
        picture.mime = fromUtf8(quillet_tag_picture_mime(tag.get(), i));
        picture.description = fromUtf8(quillet_tag_picture_description(tag.get(), i));
        const auto *data = reinterpret_cast<const char *>(quillet_tag_picture_data(tag.get(), i));
        picture.data
                = QByteArray(data, qsizetype(data ? quillet_tag_picture_size(tag.get(), i) : 0));
        picture.width = quillet_tag_picture_width(tag.get(), i);
        picture.height = quillet_tag_picture_height(tag.get(), i);
        m_pictures.append(std::move(picture));
    }
    m_audio.present = quillet_tag_has_audio(tag.get()) != 0;
    m_audio.lengthMs = quillet_tag_length_ms(tag.get());
    m_audio.bitrate = quillet_tag_bitrate(tag.get());
    m_audio.sampleRate = quillet_tag_sample_rate(tag.get());
    m_audio.channels = quillet_tag_channels(tag.get());
    m_audio.bitsPerSample = quillet_tag_bits_per_sample(tag.get());
    m_audio.format = fromUtf8(quillet_tag_format(tag.get()));
    m_read = true;
    return true;
}

QStringList TagRecord::values(const QString &key) const
{
    const qsizetype at = keyIndex(m_properties, key);
    return at < 0 ? QStringList() : m_properties[at].values;
}

QString TagRecord::text(const TagField &field) const
{
    const QStringList values = this->values(keyOf(field));
    if (!m_read)
        return QString();
    if (field.isNumber)
        return shortNumber(values.value(0));
    return values.join(QLatin1String("; "));
}

void TagRecord::setText(const TagField &field, const QString &text)
{
    if (this->text(field) == text)
        return;
    m_changes.setText(field, text);
    const qsizetype changed = keyIndex(m_changes.keys(), keyOf(field));
    if (changed < 0)
        return; // no number: the save will refuse it
    showValues(m_changes.keys()[changed]);
}

void TagRecord::setValues(const QString &key, const QStringList &values)
{
    m_changes.set(key, values);
    showValues(TagProperty {key.toUpper(), values});
}

void TagRecord::showValues(const TagProperty &change)
{
    const qsizetype at = keyIndex(m_properties, change.key);
    if (change.values.isEmpty()) {
        if (at >= 0)
            m_properties.removeAt(at);
    } else if (at >= 0) {
        m_properties[at].values = change.values;
    } else {
        m_properties.append(change);
    }
}

QString TagRecord::report() const
{
    QString report;
    if (m_read) {
        report += QLatin1String("-- TAG (properties)\n");
        qsizetype width = 0;
        for (const TagProperty &property : m_properties)
            width = qMax(width, property.key.size());
        for (const TagProperty &property : m_properties) {
            const QString key = property.key.leftJustified(width);
            for (const QString &value : property.values)
                report += key + QLatin1String(" - \"") + value + QLatin1String("\"\n");
        }
    }
    return report + audioReport();
}

QString TagRecord::audioReport() const
{
    if (!m_audio.present)
        return QString();
    const qint64 length = m_audio.lengthMs / 1000;
    return QStringLiteral("-- AUDIO --\nbitrate     - %1\nsample rate - %2\nchannels    - %3\n"
                          "length      - %4:%5\n")
            .arg(m_audio.bitrate)
            .arg(m_audio.sampleRate)
            .arg(m_audio.channels)
            .arg(length / 60)
            .arg(length % 60);
}

const TagPicture *TagRecord::coverPicture() const
{
    for (const TagPicture &picture : m_pictures) {
        if (picture.type == int(TagPictureType::FrontCover))
            return picture.data.isEmpty() ? nullptr : &picture;
    }
    // A format without picture types holds its cover as an "other" picture.
    for (const TagPicture &picture : m_pictures) {
        if (picture.type == int(TagPictureType::Other) && !picture.data.isEmpty())
            return &picture;
    }
    return nullptr;
}

QByteArray TagRecord::cover() const
{
    const TagPicture *picture = coverPicture();
    return picture ? picture->data : QByteArray();
}

QByteArrayView TagRecord::coverView() const
{
    const TagPicture *picture = coverPicture();
    return picture ? QByteArrayView(picture->data) : QByteArrayView();
}

qint64 TagRecord::coverSize() const
{
    const TagPicture *picture = coverPicture();
    return picture ? picture->data.size() : 0;
}

int TagRecord::save(const QString &path, const QByteArray &cover, QString *reason) const
{
    TagChanges changes = m_changes;
    if (!cover.isEmpty()) {
        TagPicture front;
        front.data = cover;
        changes.putPicture(front);
    }
    return changes.save(path, reason);
}
