// The C interface (quilletc.h): handles over the engine's records. Every entry point that can
// allocate catches everything, so that no exception reaches a caller of another language.
#include "quilletc.h"

#include "engine.h"
#include "imageheader.h"
#include "widepath.h"

#include <cstring>
#include <new>
#include <string_view>

#include <taglib/tbytevector.h>

struct quillet_tag
{
    quillet::FullTag full;
};

struct quillet_changes
{
    quillet::ChangeSet set;
};

namespace {

using quillet::ChangeSet;
using PictureChange = ChangeSet::PictureChange;

constexpr int lastPictureType = static_cast<int>(quillet::PictureType::PublisherLogo);

int failWith(int error)
{
    errno = error;
    return error;
}

// Runs body, which returns 0 or an error value; an exception becomes ENOMEM or EIO.
template<typename Body> int guarded(Body &&body) noexcept
{
    try {
        const int error = body();
        return error == 0 ? 0 : failWith(error);
    } catch (const std::bad_alloc &) {
        return failWith(ENOMEM);
    } catch (...) {
        return failWith(EIO);
    }
}

bool isUtf8(std::string_view text)
{
    while (!text.empty()) {
        char32_t c = 0;
        const std::size_t length = quillet::widepath::detail::decodeOne(text, c);
        if (length == 0)
            return false;
        text.remove_prefix(length);
    }
    return true;
}

// A name as the engine takes it: the bytes of a POSIX name, undecodable ones escaped as readTag
// has them; on Windows the name must be UTF-8, the form its wide names are given in.
int toWidePath(const char *path, std::wstring &wide)
{
    if (!path)
        return EINVAL;
#ifdef _WIN32
    if (!isUtf8(path))
        return EILSEQ;
#endif
    wide = quillet::widepath::fromNativeBytes(path);
    return 0;
}

bool sameKey(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// TagLib's keys are upper case; one spelling here keeps a later change of a key replacing an
// earlier one however either was written.
int toKey(const char *key, std::string &out)
{
    if (!key || !*key)
        return EINVAL;
    if (!isUtf8(key))
        return EILSEQ;
    out = key;
    for (char &c : out) {
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    }
    return 0;
}

int toText(const char *text, std::string &out)
{
    out = text ? text : "";
    return isUtf8(out) ? 0 : EILSEQ;
}

void forget(ChangeSet &set, const std::string &key)
{
    std::vector<quillet::Property> &properties = set.set;
    for (auto it = properties.begin(); it != properties.end();)
        it = it->key == key ? properties.erase(it) : it + 1;
    std::vector<std::string> &removed = set.remove;
    for (auto it = removed.begin(); it != removed.end();)
        it = *it == key ? removed.erase(it) : it + 1;
}

const quillet::Property *propertyAt(const quillet_tag *tag, std::size_t index)
{
    if (!tag) {
        errno = EINVAL;
        return nullptr;
    }
    return index < tag->full.properties.size() ? &tag->full.properties[index] : nullptr;
}

const quillet::Property *propertyOf(const quillet_tag *tag, const char *key)
{
    if (!tag || !key) {
        errno = EINVAL;
        return nullptr;
    }
    for (const quillet::Property &property : tag->full.properties) {
        if (sameKey(property.key, key))
            return &property;
    }
    return nullptr;
}

const char *valueAt(const quillet::Property *property, std::size_t value)
{
    return property && value < property->values.size() ? property->values[value].c_str() : nullptr;
}

const quillet::Picture *pictureAt(const quillet_tag *tag, std::size_t index)
{
    if (!tag) {
        errno = EINVAL;
        return nullptr;
    }
    return index < tag->full.pictures.size() ? &tag->full.pictures[index] : nullptr;
}

const quillet::AudioInfo *audioOf(const quillet_tag *tag)
{
    if (!tag) {
        errno = EINVAL;
        return nullptr;
    }
    return tag->full.audio.present ? &tag->full.audio : nullptr;
}

int putPicture(quillet_changes *changes, int type, const char *mime, const char *description,
               const void *data, std::size_t size, bool matchDescription)
{
    return guarded([&] {
        if (!changes || !data || size == 0 || type < 0 || type > lastPictureType)
            return EINVAL;
        PictureChange change;
        change.type = static_cast<quillet::PictureType>(type);
        change.matchDescription = matchDescription;
        if (const int error = toText(description, change.description))
            return error;
        quillet::Picture &picture = change.picture;
        if (const int error = toText(mime, picture.mime))
            return error;
        picture.type = change.type;
        picture.description = change.description;
        picture.data.assign(static_cast<const char *>(data), size);
        const quillet::ImageHeader header = quillet::readImageHeader(
                TagLib::ByteVector(picture.data.data(), static_cast<unsigned int>(size)));
        if (picture.mime.empty())
            picture.mime = header.mimeType();
        picture.width = header.width;
        picture.height = header.height;
        changes->set.pictures.push_back(std::move(change));
        return 0;
    });
}

int removePictures(quillet_changes *changes, int type, const char *description)
{
    return guarded([&] {
        if (!changes || type < 0 || type > lastPictureType)
            return EINVAL;
        PictureChange change;
        change.action = PictureChange::Action::Remove;
        change.type = static_cast<quillet::PictureType>(type);
        change.matchDescription = description != nullptr;
        if (const int error = toText(description, change.description))
            return error;
        changes->set.pictures.push_back(std::move(change));
        return 0;
    });
}

} // namespace

extern "C" {

const char *quillet_version(void)
{
    return QUILLETC_VERSION;
}

const char *quillet_strerror(int error)
{
    switch (error) {
    case 0:
        return "No error";
    case ENOENT:
        return "No such file";
    case EACCES:
        return "Permission denied: the file or its folder may not be read or written";
    case EROFS:
        return "The file system is read-only";
    case EISDIR:
        return "The name is a folder's";
    case EBUSY:
        return "Another save of the file is running, or a reader held it for too long";
    case ENOSPC:
        return "No room left on the device";
    case EFBIG:
        return "Too large for the system, or for what the file's tag format can hold";
    case EIO:
        return "The device failed to read or write";
    case EINVAL:
        return "Invalid argument";
    case EILSEQ:
        return "Text that is not UTF-8, or a name no file can have";
    case ENOMEM:
        return "Out of memory";
    case QUILLET_ENOTAUDIO:
        return "Not an audio file of a kind TagLib opens";
    case QUILLET_EDAMAGED:
        return "The file is damaged; it is left as it is";
    default:
        return std::strerror(error);
    }
}

quillet_tag *quillet_read(const char *path, int *error)
{
    quillet_tag *tag = nullptr;
    const int result = guarded([&] {
        std::wstring wide;
        if (const int pathError = toWidePath(path, wide))
            return pathError;
        tag = new quillet_tag;
        if (quillet::readFull(wide, tag->full))
            return 0;
        return errno != 0 ? errno : EIO;
    });
    if (result != 0) {
        delete tag;
        errno = result;
        tag = nullptr;
    }
    if (error)
        *error = result;
    return tag;
}

void quillet_tag_free(quillet_tag *tag)
{
    delete tag;
}

size_t quillet_tag_key_count(const quillet_tag *tag)
{
    if (!tag) {
        errno = EINVAL;
        return 0;
    }
    return tag->full.properties.size();
}

const char *quillet_tag_key(const quillet_tag *tag, size_t index)
{
    const quillet::Property *property = propertyAt(tag, index);
    return property ? property->key.c_str() : nullptr;
}

size_t quillet_tag_value_count(const quillet_tag *tag, size_t index)
{
    const quillet::Property *property = propertyAt(tag, index);
    return property ? property->values.size() : 0;
}

const char *quillet_tag_value(const quillet_tag *tag, size_t index, size_t value)
{
    return valueAt(propertyAt(tag, index), value);
}

size_t quillet_tag_count_of(const quillet_tag *tag, const char *key)
{
    const quillet::Property *property = propertyOf(tag, key);
    return property ? property->values.size() : 0;
}

const char *quillet_tag_value_of(const quillet_tag *tag, const char *key, size_t value)
{
    return valueAt(propertyOf(tag, key), value);
}

size_t quillet_tag_unsupported_count(const quillet_tag *tag)
{
    if (!tag) {
        errno = EINVAL;
        return 0;
    }
    return tag->full.unsupported.size();
}

const char *quillet_tag_unsupported(const quillet_tag *tag, size_t index)
{
    if (!tag) {
        errno = EINVAL;
        return nullptr;
    }
    return index < tag->full.unsupported.size() ? tag->full.unsupported[index].c_str() : nullptr;
}

size_t quillet_tag_picture_count(const quillet_tag *tag)
{
    if (!tag) {
        errno = EINVAL;
        return 0;
    }
    return tag->full.pictures.size();
}

int quillet_tag_picture_type(const quillet_tag *tag, size_t index)
{
    const quillet::Picture *picture = pictureAt(tag, index);
    return picture ? static_cast<int>(picture->type) : -1;
}

const char *quillet_tag_picture_mime(const quillet_tag *tag, size_t index)
{
    const quillet::Picture *picture = pictureAt(tag, index);
    return picture ? picture->mime.c_str() : nullptr;
}

const char *quillet_tag_picture_description(const quillet_tag *tag, size_t index)
{
    const quillet::Picture *picture = pictureAt(tag, index);
    return picture ? picture->description.c_str() : nullptr;
}

const unsigned char *quillet_tag_picture_data(const quillet_tag *tag, size_t index)
{
    const quillet::Picture *picture = pictureAt(tag, index);
    return picture ? reinterpret_cast<const unsigned char *>(picture->data.data()) : nullptr;
}

size_t quillet_tag_picture_size(const quillet_tag *tag, size_t index)
{
    const quillet::Picture *picture = pictureAt(tag, index);
    return picture ? picture->data.size() : 0;
}

int quillet_tag_picture_width(const quillet_tag *tag, size_t index)
{
    const quillet::Picture *picture = pictureAt(tag, index);
    return picture ? picture->width : 0;
}

int quillet_tag_picture_height(const quillet_tag *tag, size_t index)
{
    const quillet::Picture *picture = pictureAt(tag, index);
    return picture ? picture->height : 0;
}

int quillet_tag_has_audio(const quillet_tag *tag)
{
    return audioOf(tag) ? 1 : 0;
}

long long quillet_tag_length_ms(const quillet_tag *tag)
{
    const quillet::AudioInfo *audio = audioOf(tag);
    return audio ? audio->lengthMs : 0;
}

int quillet_tag_bitrate(const quillet_tag *tag)
{
    const quillet::AudioInfo *audio = audioOf(tag);
    return audio ? audio->bitrate : 0;
}

int quillet_tag_sample_rate(const quillet_tag *tag)
{
    const quillet::AudioInfo *audio = audioOf(tag);
    return audio ? audio->sampleRate : 0;
}

int quillet_tag_channels(const quillet_tag *tag)
{
    const quillet::AudioInfo *audio = audioOf(tag);
    return audio ? audio->channels : 0;
}

int quillet_tag_bits_per_sample(const quillet_tag *tag)
{
    const quillet::AudioInfo *audio = audioOf(tag);
    return audio ? audio->bitsPerSample : 0;
}

const char *quillet_tag_format(const quillet_tag *tag)
{
    if (!tag) {
        errno = EINVAL;
        return nullptr;
    }
    return tag->full.audio.format.c_str();
}

quillet_changes *quillet_changes_new(void)
{
    quillet_changes *changes = new (std::nothrow) quillet_changes;
    if (!changes)
        errno = ENOMEM;
    return changes;
}

void quillet_changes_free(quillet_changes *changes)
{
    delete changes;
}

int quillet_changes_set(quillet_changes *changes, const char *key, const char *const *values,
                        size_t count)
{
    return guarded([&] {
        if (!changes || !values || count == 0)
            return EINVAL;
        quillet::Property property;
        if (const int error = toKey(key, property.key))
            return error;
        property.values.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            if (!values[i])
                return EINVAL;
            if (!isUtf8(values[i]))
                return EILSEQ;
            property.values.emplace_back(values[i]);
        }
        forget(changes->set, property.key);
        changes->set.set.push_back(std::move(property));
        return 0;
    });
}

int quillet_changes_remove(quillet_changes *changes, const char *key)
{
    return guarded([&] {
        if (!changes)
            return EINVAL;
        std::string name;
        if (const int error = toKey(key, name))
            return error;
        forget(changes->set, name);
        changes->set.remove.push_back(std::move(name));
        return 0;
    });
}

int quillet_changes_put_picture(quillet_changes *changes, int type, const char *mime,
                                const char *description, const void *data, size_t size)
{
    return putPicture(changes, type, mime, description, data, size, false);
}

int quillet_changes_put_picture_described(quillet_changes *changes, int type, const char *mime,
                                          const char *description, const void *data, size_t size)
{
    return putPicture(changes, type, mime, description, data, size, true);
}

int quillet_changes_remove_pictures(quillet_changes *changes, int type)
{
    return removePictures(changes, type, nullptr);
}

int quillet_changes_remove_pictures_described(quillet_changes *changes, int type,
                                              const char *description)
{
    if (!description)
        return failWith(EINVAL);
    return removePictures(changes, type, description);
}

int quillet_save(const char *path, const quillet_changes *changes)
{
    return guarded([&] {
        std::wstring wide;
        if (const int error = toWidePath(path, wide))
            return error;
        if (!changes)
            return EINVAL;
        if (quillet::saveChanges(wide, changes->set))
            return 0;
        return errno != 0 ? errno : EIO;
    });
}

} // extern "C"
