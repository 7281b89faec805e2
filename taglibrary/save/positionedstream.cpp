#include "positionedstream.h"

namespace quillet {

long long seekTarget(long long position, long long size, StreamOffset offset,
                     TagLib::IOStream::Position p)
{
    long long base = 0;
    if (p == TagLib::IOStream::Current)
        base = position;
    else if (p == TagLib::IOStream::End)
        base = size;
    long long target;
    if (__builtin_add_overflow(base, static_cast<long long>(offset), &target) || target < 0)
        return position;
    return target;
}

} // namespace quillet
