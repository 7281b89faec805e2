#ifndef TAGRECORD_H
#define TAGRECORD_H

#include "tagfield.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// One key of a tag with its values, in the file's order. Keys are TagLib's property keys, upper
// case ("ALBUMARTIST", "MUSICBRAINZ_ALBUMID", free-form ones as the file names them).
struct TagProperty
{
    QString key;
    QStringList values;
};

// ID3v2's picture types, onto which every format's pictures are mapped (quilletc.h).
enum class TagPictureType : int { Other = 0, FrontCover = 3, BackCover = 4, Last = 20 };

struct TagPicture
{
    int type = int(TagPictureType::FrontCover); // 0..20, as ID3v2 numbers them
    QString mime; // empty in a change: the type the bytes show
    QString description;
    QByteArray data; // the encoded image, byte for byte
    int width = 0; // 0 when unknown
    int height = 0;
};

struct TagAudio
{
    bool present = false; // false: the file gave no audio properties
    qint64 lengthMs = 0;
    int bitrate = 0; // kbit/s
    int sampleRate = 0; // Hz
    int channels = 0;
    int bitsPerSample = 0; // 0 where the format does not say
    QString format; // "MP3", "FLAC", "Ogg Vorbis", "Opus", "MP4", ...
};

// What a save changes, in Qt's types; everything it does not name stays as the file has it at the
// moment of the save. Of the changes of one key the last one counts (keys in any letter case);
// picture changes apply in the order made.
class TagChanges
{
public:
    struct PictureChange
    {
        bool remove = false;
        // Put: replaces the pictures of the type (only the one with the description when
        // matchDescription) or is added. Remove: every picture of the type, or only those with
        // the description when matchDescription.
        bool matchDescription = false;
        TagPicture picture; // type and description always; the rest for a put
    };

    // values empty: the key is removed. TRACKNUMBER and DISCNUMBER take "n", "n/N" or "/N"; "n"
    // alone keeps the file's total.
    void set(const QString &key, const QStringList &values);
    void remove(const QString &key);
    // One of the seven (tagFields) as the form gives it: empty text removes a text field. A
    // number is read as the seven's numbers always were (" 07" as 7, 0 removes the field, a
    // track may carry its total: "3/12"); one that is no whole number from 0 to 2147483647 makes
    // the save fail with EINVAL, writing nothing.
    void setText(const TagField &field, const QString &text);
    void putPicture(const TagPicture &picture, bool matchDescription = false);
    void removePictures(int type);
    void removePictures(int type, const QString &description);

    bool isEmpty() const { return m_keys.isEmpty() && m_pictures.isEmpty() && !m_invalid; }
    // Each key changed once, upper case, in the order first changed; empty values: removed.
    const QList<TagProperty> &keys() const { return m_keys; }
    const QList<PictureChange> &pictures() const { return m_pictures; }

    // Writes the changes through the library's safe save. Returns 0 when saved (an empty change
    // set writes nothing, but the file must be one the library can write); otherwise -1 with
    // errno saying why, the file is as it was, and reason says it in words ("permission denied;
    // the file is unchanged").
    int save(const QString &path, QString *reason = nullptr) const;

private:
    QList<TagProperty> m_keys;
    QList<PictureChange> m_pictures;
    bool m_invalid = false;
};

// A number of the seven as they were always read and shown: the whole number the text starts
// with, without leading zeros, cut to four digits; "0" when there is none.
QString shortNumber(const QString &text);

// One file's full record as the library reads it (libquilletc): every key with its values, the
// items kept but not shown as keys, every picture and the audio properties. Beside it, the view
// of the seven fields that the form and the command's options have always shown.
class TagRecord
{
public:
    // Reads the file; false with the reason when it is missing or not audio that can be read.
    // The record is then empty.
    bool read(const QString &path, QString *reason = nullptr);

    const QList<TagProperty> &properties() const { return m_properties; }
    // The values of the key, in any letter case; empty when the file has none.
    QStringList values(const QString &key) const;
    const QStringList &unsupported() const { return m_unsupported; }
    const QList<TagPicture> &pictures() const { return m_pictures; }
    const TagAudio &audio() const { return m_audio; }

    // One of the seven (tagFields): several values joined by "; "; a number field as a whole
    // number ("0" when there is none), as the seven were always read. Empty before a read.
    QString text(const TagField &field) const;
    // Changes the field in the record and in changes(), unless it already holds the text. Empty
    // text (or "0" for a number) removes the field.
    void setText(const TagField &field, const QString &text);
    // Any key, in the record and in changes(); empty values remove it.
    void setValues(const QString &key, const QStringList &values);
    // What setText and setValues changed since the read.
    const TagChanges &changes() const { return m_changes; }

    // A text report of the tag's keys and the audio, as the report area and `quillet show` give it.
    QString report() const;
    // The report's part on the audio (bitrate, sample rate, channels, length): what a save of
    // the tags leaves as it is. Empty when there is none.
    QString audioReport() const;

    // The front cover's exact bytes (the first picture of that type, else the first picture);
    // empty when there is none. An empty picture counts as none.
    QByteArray cover() const;
    QByteArrayView coverView() const;
    qint64 coverSize() const;

    // Saves changes() and, unless cover is empty, cover as the front cover in place of the
    // file's front covers. Returns as TagChanges::save.
    int save(const QString &path, const QByteArray &cover, QString *reason = nullptr) const;

private:
    const TagPicture *coverPicture() const;
    void showValues(const TagProperty &change);

    QList<TagProperty> m_properties;
    QStringList m_unsupported;
    QList<TagPicture> m_pictures;
    TagAudio m_audio;
    bool m_read = false;
    TagChanges m_changes;
};

#endif // TAGRECORD_H
