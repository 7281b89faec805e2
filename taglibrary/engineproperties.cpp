// One key set or removed in every tag of a file, and nothing else: TagLib's setProperties takes
// a whole map and rewrites (or drops) what it does not name, so each tag's items for the key are
// found one by one, removed, and replaced by those that an empty tag of the same type makes of
// the key (the format's own way of storing it and its several values).
#include "engineparts.h"

#include "errors.h"
#include "formats.h"
#include "textconv.h"

#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asftag.h>
#include <taglib/commentsframe.h>
#include <taglib/flacfile.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4tag.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/trueaudiofile.h>
#include <taglib/uniquefileidentifierframe.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/urllinkframe.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

namespace quillet {

namespace {

namespace T = TagLib;

// The prefix under which MP4 files keep free-form items; TagLib 2 names them by the rest.
const char freeFormPrefix[] = "----:com.apple.iTunes:";

bool isFreeFormName(const T::String &name, const T::String &key)
{
    return name.startsWith(freeFormPrefix) && name.substr(sizeof(freeFormPrefix) - 1) == key;
}

// A key TagLib 2 would write as a free-form item: one that starts with a capital letter.
bool isFreeFormKey(const T::String &key)
{
    return !key.isEmpty() && key[0] >= 'A' && key[0] <= 'Z';
}

T::PropertyMap oneKey(const T::String &key, const T::StringList &values)
{
    T::PropertyMap map;
    map.insert(key, values);
    return map;
}

bool isCountKey(const T::String &key)
{
    return key == "TRACKNUMBER" || key == "DISCNUMBER";
}

// "n" keeps the total that current has, "/N" its number; "n/N" stands as it is.
T::String withTotal(const T::String &value, const T::String &current)
{
    const int slash = value.find("/");
    const int currentSlash = current.find("/");
    if (slash < 0)
        return currentSlash >= 0 ? value + current.substr(static_cast<unsigned int>(currentSlash))
                                 : value;
    if (slash == 0)
        return (currentSlash >= 0 ? current.substr(0, static_cast<unsigned int>(currentSlash))
                                  : current)
                + value;
    return value;
}

// The values to write into a tag whose current properties are now: a count keeps its total.
T::StringList valuesFor(const T::PropertyMap &now, const T::String &key,
                        const T::StringList &values)
{
    if (!isCountKey(key) || values.size() != 1)
        return values;
    const auto found = now.find(key);
    const T::String current
            = found == now.end() || found->second.isEmpty() ? T::String() : found->second.front();
    return T::StringList(withTotal(values.front(), current));
}

// ID3v2: frames.
// -----------------------------------------------------------------------------------------------

// The properties of one frame: TagLib 1 has them only through the frame classes that hold any.
T::PropertyMap frameProperties(const T::ID3v2::Frame *frame)
{
    namespace F = T::ID3v2;
    if (const auto *own = dynamic_cast<const F::UserTextIdentificationFrame *>(frame))
        return own->asProperties();
    if (const auto *own = dynamic_cast<const F::TextIdentificationFrame *>(frame))
        return own->asProperties();
    if (const auto *own = dynamic_cast<const F::CommentsFrame *>(frame))
        return own->asProperties();
    if (const auto *own = dynamic_cast<const F::UniqueFileIdentifierFrame *>(frame))
        return own->asProperties();
    if (const auto *own = dynamic_cast<const F::UnsynchronizedLyricsFrame *>(frame))
        return own->asProperties();
    if (const auto *own = dynamic_cast<const F::UserUrlLinkFrame *>(frame))
        return own->asProperties();
    if (const auto *own = dynamic_cast<const F::UrlLinkFrame *>(frame))
        return own->asProperties();
    return T::PropertyMap();
}

// The pointers, out of TagLib's list: a copy of a tag's list left sharing it while the tag
// changes would own the frames, and delete them with it.
std::vector<T::ID3v2::Frame *> framesOf(const T::ID3v2::FrameList &frames)
{
    return std::vector<T::ID3v2::Frame *>(frames.begin(), frames.end());
}

bool setId3v2(T::ID3v2::Tag &tag, const T::String &key, const T::StringList &given)
{
    const T::StringList values = valuesFor(tag.properties(), key, given);
    // A frame holding other keys beside this one (TIPL, TMCL) is made again without it.
    T::PropertyMap made;
    T::String language;
    std::size_t slot = 0; // where the first frame of the key stood; the frames made go there
    bool found = false;
    for (T::ID3v2::Frame *frame : framesOf(tag.frameList())) {
        T::PropertyMap properties = frameProperties(frame);
        if (!properties.contains(key)) {
            slot += found ? 0 : 1;
            continue;
        }
        found = true;
        if (const auto *comment = dynamic_cast<T::ID3v2::CommentsFrame *>(frame);
            comment && language.isEmpty())
            language = T::String(comment->language(), T::String::Latin1);
        properties.erase(key);
        made.merge(properties);
        tag.removeFrame(frame);
    }
    if (!values.isEmpty())
        made.insert(key, values);
    if (made.isEmpty())
        return true;
    T::ID3v2::Tag scratch;
    scratch.setProperties(made);
    const std::vector<T::ID3v2::Frame *> madeFrames = framesOf(scratch.frameList());
    const std::size_t newFrames = madeFrames.size();
    for (T::ID3v2::Frame *frame : madeFrames) {
        scratch.removeFrame(frame, false);
        // A comment keeps the language of the one it replaces.
        if (auto *comment = dynamic_cast<T::ID3v2::CommentsFrame *>(frame);
            comment && !language.isEmpty())
            comment->setLanguage(language.data(T::String::Latin1));
        tag.addFrame(frame);
    }
    // The frames that followed go behind the new ones: the tag keeps its order, and a change that
    // keeps the frame's length leaves the rest of the tag where it was on disk.
    const std::vector<T::ID3v2::Frame *> now = framesOf(tag.frameList());
    if (found) {
        const std::size_t tailEnd = now.size() - newFrames;
        for (std::size_t i = slot; i < tailEnd; ++i) {
            tag.removeFrame(now[i], false);
            tag.addFrame(now[i]);
        }
    }
    return true;
}

// Xiph comments: fields, one per value; a count's total where the file keeps it.
// -----------------------------------------------------------------------------------------------

T::StringList xiphField(const T::Ogg::XiphComment &xiph, const T::String &key)
{
    const auto found = xiph.fieldListMap().find(key);
    return found == xiph.fieldListMap().end() ? T::StringList() : found->second;
}

void setXiphField(T::Ogg::XiphComment &xiph, const T::String &key, const T::StringList &values)
{
    xiph.removeFields(key);
    for (const T::String &value : values)
        xiph.addField(key, value, false);
}

// TRACKNUMBER or DISCNUMBER with its total: in the fields the file keeps totals in (TRACKTOTAL,
// TOTALTRACKS), else as "n/N" where the number has it so, else in TRACKTOTAL.
void setXiphCount(T::Ogg::XiphComment &xiph, const T::String &key, const T::String &value)
{
    const bool track = key == "TRACKNUMBER";
    const T::String totalKeys[]
            = {track ? "TRACKTOTAL" : "DISCTOTAL", track ? "TOTALTRACKS" : "TOTALDISCS"};
    const T::StringList now = xiphField(xiph, key);
    bool separate = false;
    for (const T::String &total : totalKeys)
        separate = separate || !xiphField(xiph, total).isEmpty();
    if (!separate && !now.isEmpty() && now.front().find("/") >= 0) {
        setXiphField(xiph, key, T::StringList(withTotal(value, now.front())));
        return;
    }
    const int slash = value.find("/");
    const T::String number = slash < 0 ? value : value.substr(0, static_cast<unsigned int>(slash));
    const T::String total
            = slash < 0 ? T::String() : value.substr(static_cast<unsigned int>(slash) + 1);
    if (!number.isEmpty())
        setXiphField(xiph, key, T::StringList(number));
    if (total.isEmpty())
        return;
    bool written = false;
    for (const T::String &totalKey : totalKeys) {
        if (!xiphField(xiph, totalKey).isEmpty()) {
            setXiphField(xiph, totalKey, T::StringList(total));
            written = true;
        }
    }
    if (!written)
        setXiphField(xiph, totalKeys[0], T::StringList(total));
}

bool setXiph(T::Ogg::XiphComment &xiph, const T::String &given, const T::StringList &values)
{
    const T::String key = given.upper();
    if (!T::Ogg::XiphComment::checkKey(key) || key == "METADATA_BLOCK_PICTURE")
        return false;
    if (isCountKey(key) && values.size() == 1)
        setXiphCount(xiph, key, values.front());
    else
        setXiphField(xiph, key, values);
    return true;
}

// APE, MP4 and ASF: items, each read alone in an empty tag to learn its key.
// -----------------------------------------------------------------------------------------------

bool apeItemHolds(const T::String &name, const T::APE::Item &item, const T::String &key)
{
    T::APE::Tag scratch;
    scratch.setItem(name, item);
    return scratch.properties().contains(key);
}

bool setApe(T::APE::Tag &tag, const T::String &key, const T::StringList &given)
{
    const T::StringList values = valuesFor(tag.properties(), key, given);
    T::APE::Tag scratch;
    if (!values.isEmpty() && !scratch.setProperties(oneKey(key, values)).isEmpty())
        return false;
    const T::APE::ItemListMap items = tag.itemListMap();
    for (const auto &item : items) {
        if (item.second.type() == T::APE::Item::Text && apeItemHolds(item.first, item.second, key))
            tag.removeItem(item.first);
    }
    for (const auto &item : scratch.itemListMap())
        tag.setItem(item.second.key(), item.second);
    return true;
}

bool mp4ItemHolds(const T::String &name, const T::MP4::Item &item, const T::String &key)
{
    T::MP4::Tag scratch;
    scratch.setItem(name, item);
    const T::PropertyMap properties = scratch.properties();
    return properties.contains(key)
            || (properties.unsupportedData().contains(name) && isFreeFormName(name, key));
}

bool setMp4(T::MP4::Tag &tag, const T::String &key, const T::StringList &given)
{
    const T::StringList values = valuesFor(tag.properties(), key, given);
    T::MP4::Tag scratch;
    const bool known = values.isEmpty() || scratch.setProperties(oneKey(key, values)).isEmpty();
    if (!known && !isFreeFormKey(key))
        return false;
    const T::MP4::ItemMap items = tag.itemMap();
    for (const auto &item : items) {
        if (mp4ItemHolds(item.first, item.second, key))
            tag.removeItem(item.first);
    }
    if (!known)
        tag.setItem(freeFormPrefix + key, T::MP4::Item(values));
    for (const auto &item : scratch.itemMap())
        tag.setItem(item.first, item.second);
    return true;
}

bool asfAttributeHolds(const T::String &name, const T::ASF::AttributeList &list,
                       const T::String &key)
{
    T::ASF::Tag scratch;
    scratch.setAttribute(name, list);
    const T::PropertyMap properties = scratch.properties();
    return properties.contains(key) || (properties.unsupportedData().contains(name) && name == key);
}

// The fields of the content description object, which holds one value of each; further values
// are attributes of the field's own name, as Windows keeps them.
const struct
{
    const char *key;
    const char *name;
    void (T::ASF::Tag::*set)(const T::String &);
} asfFields[] = {
        {"TITLE", "Title", &T::ASF::Tag::setTitle},
        {"ARTIST", "Author", &T::ASF::Tag::setArtist},
        {"COPYRIGHT", "Copyright", &T::ASF::Tag::setCopyright},
        {"COMMENT", "Description", &T::ASF::Tag::setComment},
};

bool isAsfFieldName(const T::String &name)
{
    for (const auto &field : asfFields) {
        if (name == field.name)
            return true;
    }
    return false;
}

bool setAsf(T::ASF::Tag &tag, const T::String &key, const T::StringList &given)
{
    const T::StringList values = valuesFor(tag.properties(), key, given);
    for (const auto &field : asfFields) {
        if (key != field.key)
            continue;
        (tag.*field.set)(values.isEmpty() ? T::String() : values.front());
        tag.removeItem(field.name);
        for (auto value = values.begin(); value != values.end(); ++value) {
            if (value != values.begin())
                tag.addAttribute(field.name, T::ASF::Attribute(*value));
        }
        return true;
    }
    T::ASF::Tag scratch;
    const bool known
            = scratch.setProperties(oneKey(key, values.isEmpty() ? T::StringList("-") : values))
                      .isEmpty();
    if (!known && (key.isEmpty() || key == "WM/Picture"))
        return false;
    const T::ASF::AttributeListMap attributes = tag.attributeListMap();
    for (const auto &attribute : attributes) {
        if (asfAttributeHolds(attribute.first, attribute.second, key))
            tag.removeItem(attribute.first);
    }
    if (values.isEmpty())
        return true;
    if (!known) {
        for (const T::String &value : values)
            tag.addAttribute(key, T::ASF::Attribute(value));
    }
    for (const auto &attribute : scratch.attributeListMap())
        tag.setAttribute(attribute.first, attribute.second);
    return true;
}

// The number a tag of numbers takes: the digits a date or a count starts with.
T::StringList leadingNumber(const T::StringList &values)
{
    if (values.isEmpty())
        return values;
    const T::String &value = values.front();
    unsigned int end = 0;
    while (end < value.size() && value[end] >= '0' && value[end] <= '9')
        ++end;
    return T::StringList(value.substr(0, end));
}

// Tags of a few fixed fields (ID3v1, RIFF INFO, tracker modules): the whole map, in which only
// this key differs. False where the tag has no place for it. ID3v1 (and TagLib 1's INFO) store
// the year and the track as numbers.
bool setSimple(T::Tag &tag, const T::String &key, const T::StringList &given)
{
    T::PropertyMap properties = tag.properties();
    T::StringList values = valuesFor(properties, key, given);
    const bool numbers = TAGLIB_MAJOR_VERSION < 2 || dynamic_cast<T::ID3v1::Tag *>(&tag);
    if (numbers && (key == "DATE" || isCountKey(key)))
        values = leadingNumber(values);
    if (values.isEmpty())
        properties.erase(key);
    else
        properties.replace(key, values);
    return !tag.setProperties(properties).contains(key);
}

// Which tags a key goes into.
// -----------------------------------------------------------------------------------------------

struct Targets
{
    T::ID3v2::Tag *id3v2 = nullptr;
    T::APE::Tag *ape = nullptr;
    T::Ogg::XiphComment *xiph = nullptr;
    T::MP4::Tag *mp4 = nullptr;
    T::ASF::Tag *asf = nullptr;
    T::Tag *simple = nullptr; // ID3v1, INFO, a module's
    T::Tag *id3v1 = nullptr;
};

template<class F> T::Tag *id3v1Of(F &file)
{
    return file.hasID3v1Tag() ? file.ID3v1Tag(false) : nullptr;
}

// The tags TagLib's own setProperties writes (the main one, made where missing, and an ID3v1
// tag the file has), and an MP3's APE tag that it keeps.
Targets targetsOf(T::File &file)
{
    Targets targets;
    const FileTags tags = tagsOfFile(file);
    targets.id3v2 = tags.id3v2;
    targets.ape = tags.ape;
    targets.xiph = tags.xiph;
    targets.mp4 = tags.mp4;
    targets.asf = tags.asf;
    if (auto *mpeg = dynamic_cast<T::MPEG::File *>(&file)) {
        if (!targets.ape || mpeg->hasID3v2Tag())
            targets.id3v2 = mpeg->ID3v2Tag(true);
        if (!mpeg->hasAPETag())
            targets.ape = nullptr;
        targets.id3v1 = id3v1Of(*mpeg);
    } else if (auto *tta = dynamic_cast<T::TrueAudio::File *>(&file)) {
        targets.id3v2 = tta->ID3v2Tag(true);
        targets.id3v1 = id3v1Of(*tta);
    } else if (auto *flac = dynamic_cast<T::FLAC::File *>(&file)) {
        targets.id3v2 = nullptr; // TagLib reads and writes a FLAC file's own comment
        targets.xiph = flac->xiphComment(true);
    } else if (auto *ape = dynamic_cast<T::APE::File *>(&file)) {
        targets.ape = ape->APETag(true);
        targets.id3v1 = id3v1Of(*ape);
    } else if (auto *wavPack = dynamic_cast<T::WavPack::File *>(&file)) {
        targets.ape = wavPack->APETag(true);
        targets.id3v1 = id3v1Of(*wavPack);
    } else if (auto *mpc = dynamic_cast<T::MPC::File *>(&file)) {
        targets.ape = mpc->APETag(true);
        targets.id3v1 = id3v1Of(*mpc);
    } else if (auto *wav = dynamic_cast<T::RIFF::WAV::File *>(&file)) {
        targets.simple = wav->InfoTag();
    } else if (!targets.id3v2 && !targets.ape && !targets.xiph && !targets.mp4 && !targets.asf) {
        // Classes the table gives no tags of (DSF's ID3v2, a module's own).
        targets.id3v2 = dynamic_cast<T::ID3v2::Tag *>(file.tag());
        if (!targets.id3v2)
            targets.simple = file.tag();
    }
    return targets;
}

} // namespace

bool applyProperty(T::File &file, const std::string &name, const std::vector<std::string> &given)
{
    const T::String key = fromUtf8(name);
    if (key.isEmpty())
        return false;
    T::StringList values;
    for (const std::string &value : given)
        values.append(fromUtf8(value));
    const Targets targets = targetsOf(file);
    auto *wav = dynamic_cast<T::RIFF::WAV::File *>(&file);
    bool taken = false;
    // A WAV file keeps in RIFF INFO what INFO can hold; ID3v2 where the file has it, or for what
    // INFO cannot hold.
    if (wav) {
        const bool info = targets.simple && (wav->hasInfoTag() || !wav->hasID3v2Tag())
                && setSimple(*targets.simple, key, values);
        taken = info;
        if (wav->hasID3v2Tag() || !info) {
            // A new ID3v2 tag starts from INFO: TagLib reads a WAV file's properties from the
            // first of its tags that holds any.
            if (!wav->hasID3v2Tag() && wav->ID3v2Tag()->isEmpty())
                T::Tag::duplicate(wav->InfoTag(), wav->ID3v2Tag(), false);
            taken = setId3v2(*wav->ID3v2Tag(), key, values) || taken;
        }
        return taken;
    }
    if (targets.id3v2)
        taken = setId3v2(*targets.id3v2, key, values) || taken;
    if (targets.ape)
        taken = setApe(*targets.ape, key, values) || taken;
    if (targets.xiph)
        taken = setXiph(*targets.xiph, key, values) || taken;
    if (targets.mp4)
        taken = setMp4(*targets.mp4, key, values) || taken;
    if (targets.asf)
        taken = setAsf(*targets.asf, key, values) || taken;
    if (targets.simple)
        taken = setSimple(*targets.simple, key, values) || taken;
    // ID3v1 follows the fields it has; it takes no others.
    if (targets.id3v1)
        setSimple(*targets.id3v1, key, values);
    return taken;
}

void fillNewWavId3v2(T::File &file, const std::vector<Property> &set)
{
    auto *wav = dynamic_cast<T::RIFF::WAV::File *>(&file);
    if (!wav || wav->hasID3v2Tag() || wav->ID3v2Tag()->isEmpty() || !wav->InfoTag())
        return;
    const T::PropertyMap id3v2 = wav->ID3v2Tag()->properties();
    for (const auto &entry : wav->InfoTag()->properties()) {
        if (!id3v2.contains(entry.first))
            setId3v2(*wav->ID3v2Tag(), entry.first, entry.second);
    }
    // The keys set, with all their values, where INFO joined them into one.
    for (const Property &property : set) {
        T::StringList values;
        for (const std::string &value : property.values)
            values.append(fromUtf8(value));
        setId3v2(*wav->ID3v2Tag(), fromUtf8(property.key), values);
    }
}

void joinAsfFields(const FileTags &tags, T::PropertyMap &map)
{
    if (!tags.asf)
        return;
    for (const auto &field : asfFields) {
        for (const T::ASF::Attribute &value : tags.asf->attribute(field.name)) {
            if (value.type() == T::ASF::Attribute::UnicodeType)
                map.insert(field.key, T::StringList(value.toString()));
        }
    }
}

void addFreeForm(const FileTags &tags, const T::PropertyMap &map, std::vector<Property> &properties,
                 std::vector<std::string> &unsupported)
{
    for (const T::String &name : map.unsupportedData()) {
        if (tags.asf && isAsfFieldName(name))
            continue; // joinAsfFields put them under their field's key
        Property property;
        if (tags.mp4 && name.startsWith(freeFormPrefix) && tags.mp4->contains(name)) {
            property.key = toUtf8(name.substr(sizeof(freeFormPrefix) - 1));
            for (const T::String &value : tags.mp4->item(name).toStringList())
                property.values.push_back(toUtf8(value));
        } else if (tags.asf && name != "WM/Picture") {
            property.key = toUtf8(name);
            for (const T::ASF::Attribute &value : tags.asf->attribute(name)) {
                if (value.type() == T::ASF::Attribute::UnicodeType)
                    property.values.push_back(toUtf8(value.toString()));
            }
        }
        if (property.key.empty() || property.values.empty())
            unsupported.push_back(toUtf8(name));
        else
            properties.push_back(std::move(property));
    }
}

} // namespace quillet
