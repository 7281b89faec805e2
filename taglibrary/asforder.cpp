#include "asforder.h"

#include <taglib/tfile.h>

namespace quillet {

namespace {

const TagLib::ByteVector
        headerGuid("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
const TagLib::ByteVector
        extendedContentGuid("\x40\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00\xA0\xC9\x5E\xA8\x50", 16);
const TagLib::ByteVector
        headerExtensionGuid("\xB5\x03\xBF\x5F\x2E\xA9\xCF\x11\x8E\xE3\x00\xC0\x0C\x20\x53\x65", 16);

// Where TagLib puts the first such attribute of a name when it saves.
bool fitsExtendedContent(const TagLib::ASF::Attribute &attribute)
{
    return attribute.type() != TagLib::ASF::Attribute::GuidType && attribute.dataSize() <= 65535
            && attribute.language() == 0 && attribute.stream() == 0;
}

// True when, after saving, the Extended Content Description object follows the Header Extension
// object (which holds the Metadata Library object). TagLib keeps the order of the objects the
// file has and appends missing ones at the end, the description object before the extension.
bool extendedContentReadLast(TagLib::File *file)
{
    file->seek(0);
    const TagLib::ByteVector header = file->readBlock(30);
    if (header.size() != 30 || !header.startsWith(headerGuid))
        return true;
    const unsigned int count = header.toUInt(24, false);
    const long long end = file->length();
    long long position = 30;
    long long extendedContent = -1;
    long long headerExtension = -1;
    for (unsigned int index = 0; index < count && position + 24 <= end; ++index) {
        file->seek(static_cast<long>(position));
        const TagLib::ByteVector object = file->readBlock(24);
        if (object.size() != 24)
            break;
        const TagLib::ByteVector guid = object.mid(0, 16);
        if (guid == extendedContentGuid && extendedContent < 0)
            extendedContent = index;
        else if (guid == headerExtensionGuid && headerExtension < 0)
            headerExtension = index;
        const long long size = object.toLongLong(16, false);
        if (size < 24)
            break;
        position += size;
    }
    if (extendedContent < 0)
        return headerExtension >= 0;
    return headerExtension >= 0 && extendedContent > headerExtension;
}

} // namespace

TagLib::ASF::AttributeList asfSavingOrder(TagLib::File *file,
                                          const TagLib::ASF::AttributeList &wanted)
{
    if (!file || wanted.size() < 2)
        return wanted;
    for (const TagLib::ASF::Attribute &attribute : wanted) {
        if (attribute.stream() != 0)
            return wanted; // the Metadata object's share is not modelled
    }
    // Read back as: library object's attributes in list order, then the one description
    // attribute. Putting the wanted last one first makes it that one.
    if (!extendedContentReadLast(file) || !fitsExtendedContent(wanted.back()))
        return wanted;
    TagLib::ASF::AttributeList order;
    order.append(wanted.back());
    for (unsigned int i = 0; i + 1 < wanted.size(); ++i)
        order.append(wanted[i]);
    return order;
}

} // namespace quillet
