// The few types that differ between TagLib 1.x and 2.x, decided in this one place so that the
// rest of the library builds against both unchanged.
#ifndef QUILLET_TAGLIBCOMPAT_H
#define QUILLET_TAGLIBCOMPAT_H

#include <cstddef>

#include <taglib/taglib.h>

namespace quillet {

// The types of TagLib::IOStream's positions: seek, tell, length and truncate take a
// StreamOffset, insert and removeBlock a BlockOffset where they start, and a block's length is a
// BlockSize.
#if TAGLIB_MAJOR_VERSION >= 2
using StreamOffset = TagLib::offset_t;
using BlockOffset = TagLib::offset_t;
using BlockSize = std::size_t;
#else
using StreamOffset = long;
using BlockOffset = unsigned long;
using BlockSize = unsigned long;
#endif

} // namespace quillet

#endif // QUILLET_TAGLIBCOMPAT_H
