// The few types that differ between TagLib 1.x and 2.x, decided in this one place so that the
// rest of the library builds against both unchanged.
#ifndef QUILLET_TAGLIBCOMPAT_H
#define QUILLET_TAGLIBCOMPAT_H

#include <cstddef>

#include <taglib/taglib.h>

namespace quillet {

#if TAGLIB_MAJOR_VERSION >= 2
// Positions and lengths in a stream, and the size of a block read or replaced.
using StreamOffset = TagLib::offset_t;
using BlockSize = std::size_t;
#else
using StreamOffset = long;
using BlockSize = unsigned long;
#endif

} // namespace quillet

#endif // QUILLET_TAGLIBCOMPAT_H
