// readTag over arbitrary bytes, stored under every extension TagLib knows: it must return 0,
// never crash, leak or read out of bounds, and hand back a consistent cover buffer.
#include "fuzzsupport.h"
#include "quillet.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace fuzzsupport;
    for (const std::string &extension : knownExtensions()) {
        const std::string path = scratchDir() + "/input." + extension;
        if (!writeFile(path, data, size))
            fail("cannot write the input", path);

        tagstruct tag;
        tag.picture = reinterpret_cast<char *>(1); // must be reset, never released
        tag.pictureSize = 99;
        if (readTag(widen(path), &tag) != 0)
            fail("readTag returned non-zero", path);
        if (tag.pictureSize < 0 || (!tag.picture && tag.pictureSize != 0))
            fail("inconsistent cover buffer", path);
        delete[] tag.picture;
    }
    return 0;
}
