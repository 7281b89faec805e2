#include "quillet.h"

#include "engineparts.h"
#include "errors.h"
#include "fields.h"
#include "formats.h"
#include "keepingtag.h"
#include "taglibcompat.h"
#include "textconv.h"

#include <cerrno>
#include <cstdint>
#include <cwctype>
#include <memory>
#include <new>

#include <taglib/tag.h>

namespace {

using quillet::failWith;

// Everything taken from the record, converted before the file is opened: a record that cannot
// be converted never reaches the file.
struct Request
{
    TagLib::String title;
    TagLib::String artist;
    TagLib::String album;
    TagLib::String comment;
    TagLib::String genre;
    unsigned int year = 0;
    unsigned int track = 0;
    bool hasPicture = false;
    TagLib::ByteVector picture;
};

// The rule of std::stoi in base 10 (leading white space, an optional sign, digits up to the
// first non-digit, the value within 32 bits), reporting failure instead of throwing.
bool parseNumber(const std::wstring &text, std::int32_t &value)
{
    std::size_t i = 0;
    while (i < text.size() && std::iswspace(static_cast<std::wint_t>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    const std::size_t firstDigit = i;
    std::int64_t magnitude = 0;
    constexpr std::int64_t limit = std::int64_t(INT32_MAX) + 1;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - L'0');
        if (magnitude > limit)
            return false; // out of range whatever digits follow
    }
    if (i == firstDigit)
        return false;
    const std::int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT32_MAX || signedValue < INT32_MIN)
        return false;
    value = static_cast<std::int32_t>(signedValue);
    return true;
}

// False with errno EINVAL for a record that cannot be written: a year or track that is no
// number, or a negative one (no tag stores one; as an unsigned value it would become a huge
// year), or a picture that is not there.
bool prepare(const tagstruct &tag, Request &request)
{
    std::int32_t year = 0;
    std::int32_t track = 0;
    if (!parseNumber(tag.year, year) || !parseNumber(tag.track, track) || year < 0 || track < 0)
        return failWith(EINVAL);
    if (tag.pictureSize < 0 || (tag.pictureSize > 0 && !tag.picture))
        return failWith(EINVAL);

    request.title = quillet::toTagString(tag.title);
    request.artist = quillet::toTagString(tag.artist);
    request.album = quillet::toTagString(tag.album);
    request.comment = quillet::toTagString(tag.comment);
    request.genre = quillet::toTagString(tag.genre);
    request.year = static_cast<unsigned int>(year);
    request.track = static_cast<unsigned int>(track);
    request.hasPicture = tag.pictureSize != 0;
    if (request.hasPicture)
        request.picture.setData(tag.picture, static_cast<unsigned int>(tag.pictureSize));
    return true;
}

// Each field as the record gives it, as the file shows it now, and how it is written.
template<typename Value, typename Argument = Value> struct FieldWrite
{
    std::wstring tagstruct::*given;
    std::wstring quillet::Fields::*shown;
    Value Request::*value;
    void (TagLib::Tag::*set)(Argument);
};

using TextWrite = FieldWrite<TagLib::String, const TagLib::String &>;
const TextWrite textWrites[] = {
        {&tagstruct::title, &quillet::Fields::title, &Request::title, &TagLib::Tag::setTitle},
        {&tagstruct::artist, &quillet::Fields::artist, &Request::artist, &TagLib::Tag::setArtist},
        {&tagstruct::album, &quillet::Fields::album, &Request::album, &TagLib::Tag::setAlbum},
        {&tagstruct::comment, &quillet::Fields::comment, &Request::comment,
         &TagLib::Tag::setComment},
        {&tagstruct::genre, &quillet::Fields::genre, &Request::genre, &TagLib::Tag::setGenre},
};
using NumberWrite = FieldWrite<unsigned int>;
const NumberWrite numberWrites[] = {
        {&tagstruct::year, &quillet::Fields::year, &Request::year, &TagLib::Tag::setYear},
        {&tagstruct::track, &quillet::Fields::track, &Request::track, &TagLib::Tag::setTrack},
};

// Only the fields the user changed are written: a field whose text is what readTag reports for
// the file now stays as the file has it (a full date, a track total, several values).
template<typename Write>
void writeChanged(TagLib::Tag &fields, const quillet::Fields &now, const tagstruct &record,
                  const Request &request, const Write &writes)
{
    for (const auto &field : writes) {
        if (record.*field.given != now.*field.shown)
            (fields.*field.set)(request.*field.value);
    }
}

void writeChangedFields(TagLib::Tag &fields, const tagstruct &record, const Request &request)
{
    const quillet::Fields now = quillet::fieldsOf(fields);
    writeChanged(fields, now, record, request, textWrites);
    writeChanged(fields, now, record, request, numberWrites);
}

// True when bytes are the cover readTag reports: the editor hands back what it read, which is
// not written again (where that is another picture than a front cover, it would be added as one).
bool isCoverNow(const quillet::FileKind &kind, TagLib::File &file, const TagLib::ByteVector &bytes)
{
    TagLib::ByteVector cover;
    return kind.readCover(file, cover) && cover == bytes;
}

// Applies the record to the open file; false, with errno saying why, when the file must not be
// written.
bool apply(TagLib::File &file, const std::wstring &path, const tagstruct &record,
           const Request &request)
{
    std::unique_ptr<TagLib::Tag> joined;
    TagLib::Tag *tag = quillet::fieldsTag(file, joined);
    if (!tag)
        return failWith(QUILLET_ENOTAUDIO);
    quillet::KeepingTag fields(*tag, quillet::tagsOfFile(file));
    writeChangedFields(fields, record, request);
    // Covers go only into a file that really is of the kind its extension names.
    if (request.hasPicture) {
        const quillet::FileKind *covers = quillet::coverKindOf(path, file);
        if (covers && !isCoverNow(*covers, file, request.picture)
            && !covers->writeCover(file, request.picture))
            return failWith(EFBIG); // more than the tag format can hold
    }
    return true;
}

int save(const std::wstring &path, const tagstruct &tag)
{
    Request request;
    if (!prepare(tag, request))
        return -1;
    // The engine's save path: the same checks and the same save as a change set's.
    const bool saved
            = quillet::saveEdited(path, [&](TagLib::File &file, const quillet::FileKind *) {
                  return apply(file, path, tag, request);
              });
    return saved ? 0 : -1;
}

} // namespace

int saveTag(const std::wstring &path, tagstruct *tag)
{
    const int before = errno;
    int result = -1;
    try {
        quillet::prepareTagLib();
        if (tag)
            result = save(path, *tag);
        else
            errno = EINVAL;
    } catch (const std::bad_alloc &) {
        // Nothing may cross the library boundary (an allocation failing for a huge picture).
        errno = ENOMEM;
    } catch (...) {
        errno = EIO;
    }
    // The reason stands as the failure left it; a success leaves errno as it was.
    if (result == 0)
        errno = before;
    else if (errno == 0)
        errno = EIO;
    return result;
}
