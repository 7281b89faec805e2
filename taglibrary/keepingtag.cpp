#include "keepingtag.h"

#include "taglibcompat.h"

#include <taglib/apetag.h>
#include <taglib/asftag.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4tag.h>
#include <taglib/xiphcomment.h>

namespace quillet {

namespace {

TagLib::StringList xiphValues(const TagLib::Ogg::XiphComment *xiph, const char *key)
{
    if (!xiph)
        return TagLib::StringList();
    const TagLib::Ogg::FieldListMap &fields = xiph->fieldListMap();
    const auto it = fields.find(key);
    return it == fields.end() ? TagLib::StringList() : it->second;
}

// Comments: TagLib's ID3v2 tag removes every COMM frame for an empty comment, and a Xiph comment
// reads and writes DESCRIPTION where it has one.
// -----------------------------------------------------------------------------------------------

// The COMM frames, taken out of the tag when clearing the comment would remove more than one.
TagLib::ID3v2::FrameList takeComments(TagLib::ID3v2::Tag *tag, const TagLib::String &text)
{
    if (!tag || !text.isEmpty() || tag->frameList("COMM").size() < 2)
        return TagLib::ID3v2::FrameList();
    const TagLib::ID3v2::FrameList frames = tag->frameList("COMM");
    for (TagLib::ID3v2::Frame *frame : frames)
        tag->removeFrame(frame, false);
    return frames;
}

// Puts the frames back in their order, the one the tag reads its comment from emptied (the first
// without a description, else the first): it stays the one read, so the comment reads as empty.
void putCommentsBack(TagLib::ID3v2::Tag *tag, const TagLib::ID3v2::FrameList &frames)
{
    TagLib::ID3v2::Frame *shown = frames.isEmpty() ? nullptr : frames.front();
    for (TagLib::ID3v2::Frame *frame : frames) {
        const auto *comment = dynamic_cast<TagLib::ID3v2::CommentsFrame *>(frame);
        if (comment && comment->description().isEmpty()) {
            shown = frame;
            break;
        }
    }
    for (TagLib::ID3v2::Frame *frame : frames) {
        if (frame == shown)
            frame->setText(TagLib::String());
        tag->addFrame(frame);
    }
}

// What the Xiph comment had, with text in COMMENT; an empty text removes the field the comment
// was read from, COMMENT or else DESCRIPTION.
void writeXiphComment(TagLib::Ogg::XiphComment &xiph, const TagLib::String &text,
                      const TagLib::StringList &comment, const TagLib::StringList &description)
{
    xiph.removeFields("COMMENT");
    xiph.removeFields("DESCRIPTION");
    if (!text.isEmpty() || !comment.isEmpty()) {
        for (const TagLib::String &value : description)
            xiph.addField("DESCRIPTION", value, false);
    }
    if (!text.isEmpty())
        xiph.addField("COMMENT", text);
}

// Track totals: TagLib writes the number alone.
// -----------------------------------------------------------------------------------------------

// From the "/" on ("/12" of "3/12"); empty without a total.
TagLib::String totalOf(const TagLib::String &track)
{
    const int slash = track.find("/");
    return slash >= 0 && static_cast<unsigned int>(slash) + 1 < track.size()
            ? track.substr(static_cast<unsigned int>(slash))
            : TagLib::String();
}

TagLib::String id3v2Track(const TagLib::ID3v2::Tag *tag)
{
    const TagLib::ID3v2::FrameList &frames = tag->frameList("TRCK");
    return frames.isEmpty() ? TagLib::String() : frames.front()->toString();
}

TagLib::String apeTrack(const TagLib::APE::Tag *tag)
{
    const auto it = tag->itemListMap().find("TRACK");
    return it == tag->itemListMap().end() ? TagLib::String() : it->second.toString();
}

TagLib::String asfTrack(const TagLib::ASF::Tag *tag)
{
    const TagLib::ASF::AttributeList numbers = tag->attribute("WM/TrackNumber");
    return numbers.isEmpty() || numbers.front().type() != TagLib::ASF::Attribute::UnicodeType
            ? TagLib::String()
            : numbers.front().toString();
}

struct Totals
{
    TagLib::String id3v2;
    TagLib::String ape;
    TagLib::String xiph;
    TagLib::String info;
    TagLib::String asf;
    int mp4 = 0;
};

Totals totalsOf(const FileTags &tags)
{
    Totals totals;
    if (tags.id3v2)
        totals.id3v2 = totalOf(id3v2Track(tags.id3v2));
    if (tags.ape)
        totals.ape = totalOf(apeTrack(tags.ape));
    const TagLib::StringList xiph = xiphValues(tags.xiph, "TRACKNUMBER");
    if (!xiph.isEmpty())
        totals.xiph = totalOf(xiph.front());
    if (tags.info)
        totals.info = totalOf(tags.info->fieldText("IPRT"));
    if (tags.asf)
        totals.asf = totalOf(asfTrack(tags.asf));
    if (tags.mp4 && tags.mp4->contains("trkn"))
        totals.mp4 = tags.mp4->item("trkn").toIntPair().second;
    return totals;
}

// Appends each total to the number TagLib has just written.
void keepTotals(const FileTags &tags, const Totals &totals)
{
    if (!totals.id3v2.isEmpty() && !tags.id3v2->frameList("TRCK").isEmpty())
        tags.id3v2->frameList("TRCK").front()->setText(id3v2Track(tags.id3v2) + totals.id3v2);
    if (!totals.ape.isEmpty())
        tags.ape->addValue("TRACK", apeTrack(tags.ape) + totals.ape, true);
    const TagLib::StringList xiph = xiphValues(tags.xiph, "TRACKNUMBER");
    if (!totals.xiph.isEmpty() && !xiph.isEmpty())
        tags.xiph->addField("TRACKNUMBER", xiph.front() + totals.xiph);
    if (!totals.info.isEmpty())
        tags.info->setFieldText("IPRT", tags.info->fieldText("IPRT") + totals.info);
    if (!totals.asf.isEmpty())
        tags.asf->setAttribute("WM/TrackNumber", asfTrack(tags.asf) + totals.asf);
    if (totals.mp4 != 0 && tags.mp4->contains("trkn")) {
        const int number = tags.mp4->item("trkn").toIntPair().first;
        tags.mp4->setItem("trkn", TagLib::MP4::Item(number, totals.mp4));
    }
}

} // namespace

KeepingTag::KeepingTag(TagLib::Tag &fields, const FileTags &tags)
    : m_fields(fields)
    , m_tags(tags)
{ }

TagLib::String KeepingTag::comment() const
{
    const TagLib::StringList comment = xiphValues(m_tags.xiph, "COMMENT");
    return comment.isEmpty() ? m_fields.comment() : joinedValues(comment);
}

void KeepingTag::setComment(const TagLib::String &text)
{
    const TagLib::StringList comment = xiphValues(m_tags.xiph, "COMMENT");
    const TagLib::StringList description = xiphValues(m_tags.xiph, "DESCRIPTION");
    const TagLib::ID3v2::FrameList comments = takeComments(m_tags.id3v2, text);
    m_fields.setComment(text);
    putCommentsBack(m_tags.id3v2, comments);
    if (m_tags.asf)
        m_tags.asf->removeItem("Description");
    if (m_tags.xiph)
        writeXiphComment(*m_tags.xiph, text, comment, description);
}

void KeepingTag::setTitle(const TagLib::String &text)
{
    m_fields.setTitle(text);
    if (m_tags.asf)
        m_tags.asf->removeItem("Title");
}

void KeepingTag::setArtist(const TagLib::String &text)
{
    m_fields.setArtist(text);
    if (m_tags.asf)
        m_tags.asf->removeItem("Author");
}

// TagLib's ASF tag writes a year of 0 as the text "0".
void KeepingTag::setYear(unsigned int year)
{
    m_fields.setYear(year);
    if (year == 0 && m_tags.asf)
        m_tags.asf->removeItem("WM/Year");
}

void KeepingTag::setTrack(unsigned int track)
{
    const Totals totals = totalsOf(m_tags);
    m_fields.setTrack(track);
    if (track != 0) {
        keepTotals(m_tags, totals);
    } else if (m_tags.asf) {
        // As for the year; TagLib also reads the older, zero-based "WM/Track".
        m_tags.asf->removeItem("WM/TrackNumber");
        m_tags.asf->removeItem("WM/Track");
    }
}

} // namespace quillet
