#include "latin1stringhandler.h"

#include "textconv.h"

namespace quillet {

TagLib::ByteVector Latin1StringHandler::render(const TagLib::String &text) const
{
    const std::string latin1 = toLatin1(text, 30);
    return TagLib::ByteVector(latin1.data(), static_cast<unsigned int>(latin1.size()));
}

void installLatin1StringHandler()
{
    static const Latin1StringHandler handler;
    TagLib::ID3v1::Tag::setStringHandler(&handler);
}

} // namespace quillet
