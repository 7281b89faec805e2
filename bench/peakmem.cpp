// quillet_peakmem [--taglib] <audio file>: peak memory of one readTag call (or, with --taglib,
// of the same reads straight on TagLib), measured in this fresh process two ways:
//  - heap: the highest number of bytes live in operator new during the call, above what was
//    live before it (every C++ allocation of quillet and TagLib goes through the replaced
//    operators below);
//  - rss: the growth of the process's peak resident set (getrusage ru_maxrss) over the call.
// Prints one line: "heap_bytes rss_bytes cover_bytes".
#include "benchdata.h"
#include "quillet.h"
#include "taglibdirect.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <malloc.h>
#include <sys/resource.h>

namespace {

std::atomic<long long> liveBytes {0};
std::atomic<long long> peakBytes {0};

void *allocate(std::size_t size)
{
    void *p = std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    const long long live = liveBytes += static_cast<long long>(malloc_usable_size(p));
    long long peak = peakBytes.load();
    while (live > peak && !peakBytes.compare_exchange_weak(peak, live)) { }
    return p;
}

void release(void *p) noexcept
{
    if (!p)
        return;
    liveBytes -= static_cast<long long>(malloc_usable_size(p));
    std::free(p);
}

long long maxRssBytes()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<long long>(usage.ru_maxrss) * 1024;
}

} // namespace

void *operator new(std::size_t size)
{
    return allocate(size);
}
void *operator new[](std::size_t size)
{
    return allocate(size);
}
void *operator new(std::size_t size, const std::nothrow_t &) noexcept
{
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept
{
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void *p) noexcept
{
    release(p);
}
void operator delete[](void *p) noexcept
{
    release(p);
}
void operator delete(void *p, std::size_t) noexcept
{
    release(p);
}
void operator delete[](void *p, std::size_t) noexcept
{
    release(p);
}

int main(int argc, char **argv)
{
    const bool direct = argc == 3 && std::strcmp(argv[1], "--taglib") == 0;
    if (argc != 2 && !direct) {
        std::fprintf(stderr, "usage: %s [--taglib] <audio file>\n", argv[0]);
        return 2;
    }
    const std::string path = argv[argc - 1];
    const std::wstring widePath = benchdata::widen(path);

    const long long rssBefore = maxRssBytes();
    const long long heapBefore = liveBytes.load();
    peakBytes = heapBefore;
    long long cover = 0;
    if (direct) {
        taglibdirect::read(path);
    } else {
        tagstruct tag;
        readTag(widePath, &tag);
        cover = tag.pictureSize;
        delete[] tag.picture;
    }
    const long long heapPeak = peakBytes.load() - heapBefore;
    const long long rssPeak = maxRssBytes() - rssBefore;
    std::printf("%lld %lld %lld\n", heapPeak, rssPeak, cover);
    return 0;
}
