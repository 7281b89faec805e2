#include "taglibcompat.h"

#include "latin1stringhandler.h"

#include <taglib/id3v2frame.h>
#include <taglib/taglib.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tfile.h>
#include <taglib/tstringlist.h>

#if TAGLIB_MAJOR_VERSION >= 2
#    include <taglib/mp4itemfactory.h>
#else
#    include <taglib/infotag.h>
#    include <taglib/wavfile.h>
#endif

namespace quillet {

#if TAGLIB_MAJOR_VERSION >= 2

TagLib::Tag *fieldsTag(TagLib::File &file, std::unique_ptr<TagLib::Tag> &)
{
    return file.tag();
}

TagLib::String joinedValues(const TagLib::StringList &values)
{
    return values.toString(" / ");
}

namespace {

// TagLib 2's MP4 item factory, one for the process, builds its name maps on first use without a
// lock; TagLib 1 has fixed tables there.
void prepareVersion()
{
    const TagLib::MP4::ItemFactory *factory = TagLib::MP4::ItemFactory::instance();
    factory->propertyKeyForName("\251nam");
    factory->itemFromProperty("TITLE", TagLib::StringList(TagLib::String("title")));
}

} // namespace

#else

namespace {

// ID3v2 and INFO as TagLib 2 joins them: a field reads from the first tag that has it, and is
// written to both.
class JoinedWavTag : public TagLib::Tag
{
public:
    JoinedWavTag(TagLib::Tag *first, TagLib::Tag *second)
        : m_first(first)
        , m_second(second)
    { }

    TagLib::String title() const override { return text(&TagLib::Tag::title); }
    TagLib::String artist() const override { return text(&TagLib::Tag::artist); }
    TagLib::String album() const override { return text(&TagLib::Tag::album); }
    TagLib::String comment() const override { return text(&TagLib::Tag::comment); }
    TagLib::String genre() const override { return text(&TagLib::Tag::genre); }
    unsigned int year() const override { return number(&TagLib::Tag::year); }
    unsigned int track() const override { return number(&TagLib::Tag::track); }

    void setTitle(const TagLib::String &s) override { set(&TagLib::Tag::setTitle, s); }
    void setArtist(const TagLib::String &s) override { set(&TagLib::Tag::setArtist, s); }
    void setAlbum(const TagLib::String &s) override { set(&TagLib::Tag::setAlbum, s); }
    void setComment(const TagLib::String &s) override { set(&TagLib::Tag::setComment, s); }
    void setGenre(const TagLib::String &s) override { set(&TagLib::Tag::setGenre, s); }
    void setYear(unsigned int i) override { set(&TagLib::Tag::setYear, i); }
    void setTrack(unsigned int i) override { set(&TagLib::Tag::setTrack, i); }

private:
    TagLib::String text(TagLib::String (TagLib::Tag::*get)() const) const
    {
        const TagLib::String value = (m_first->*get)();
        return value.isEmpty() ? (m_second->*get)() : value;
    }
    unsigned int number(unsigned int (TagLib::Tag::*get)() const) const
    {
        const unsigned int value = (m_first->*get)();
        return value == 0 ? (m_second->*get)() : value;
    }
    template<class Setter, class Value> void set(Setter setter, const Value &value)
    {
        (m_first->*setter)(value);
        (m_second->*setter)(value);
    }

    TagLib::Tag *m_first;
    TagLib::Tag *m_second;
};

} // namespace

TagLib::Tag *fieldsTag(TagLib::File &file, std::unique_ptr<TagLib::Tag> &holder)
{
    auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(&file);
    if (!wav)
        return file.tag();
    holder = std::make_unique<JoinedWavTag>(wav->ID3v2Tag(), wav->InfoTag());
    return holder.get();
}

TagLib::String joinedValues(const TagLib::StringList &values)
{
    return values.toString(" ");
}

namespace {

void prepareVersion() { }

} // namespace

#endif

namespace {

// The tables are protected members of Frame: reached from a class of its own, never made.
struct FrameTables : TagLib::ID3v2::Frame
{
    static void fill()
    {
        keyToFrameID("TITLE");
        frameIDToKey("TIT2");
#if TAGLIB_MAJOR_VERSION < 2
        txxxToKey("TITLE");
        keyToTXXX("TITLE");
#endif
        // TagLib 2 still fills this one on first use.
        TagLib::ID3v2::TextIdentificationFrame::involvedPeopleMap();
    }
};

} // namespace

void prepareTagLib()
{
    static const bool prepared = [] {
        installLatin1StringHandler();
        prepareVersion();
        // TagLib fills ID3v2's tables of keys, frame names and involved people on first use,
        // unguarded: two saves at once (quillet --jobs 2) could both fill one and lose a node.
        // Filled here, once, before any thread needs them.
        FrameTables::fill();
        return true;
    }();
    (void)prepared;
}

} // namespace quillet
