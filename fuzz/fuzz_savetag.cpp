// saveTag over arbitrary bytes, stored under every extension TagLib knows, with a record that
// carries a cover; then the file is read again. A failed save must leave the file byte for byte
// as it was, and no call may leave a stray file beside it.
#include "fuzzsupport.h"
#include "quillet.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

tagstruct makeRecord(std::vector<char> &cover)
{
    // A small stand-in for the JPEG the editor sends; saveTag does not look at the bytes.
    if (cover.empty()) {
        cover.assign(2048, '\0');
        const char start[] = {'\xFF', '\xD8', '\xFF', '\xE0'};
        for (std::size_t i = 0; i < cover.size(); ++i)
            cover[i] = i < sizeof start ? start[i] : static_cast<char>(i * 131 + 7);
    }
    tagstruct tag;
    tag.title = L"T\u00EFtle \u4E2D";
    tag.artist = L"Artist";
    tag.album = L"Album with a somewhat longer name than the others";
    tag.comment = L"";
    tag.year = L"2024";
    tag.track = L"7";
    tag.genre = L"Genre";
    tag.picture = cover.data();
    tag.pictureSize = static_cast<std::int32_t>(cover.size());
    return tag;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace fuzzsupport;
    static std::vector<char> cover;
    for (const std::string &extension : knownExtensions()) {
        const std::string path = scratchDir() + "/input." + extension;
        if (!writeFile(path, data, size))
            fail("cannot write the input", path);

        tagstruct record = makeRecord(cover);
        const int result = saveTag(widen(path), &record);
        if (result != 0 && result != -1)
            fail("saveTag returned neither 0 nor -1", path);
        if (result != 0) {
            const std::vector<char> after = readFile(path);
            if (after.size() != size || (size > 0 && std::memcmp(after.data(), data, size) != 0))
                fail("a failed save changed the file", path);
        }
        if (listDir(scratchDir()).size() != 1)
            fail("saveTag left a file beside the one it saved", path);

        tagstruct tag;
        readTag(widen(path), &tag);
        if (tag.pictureSize < 0 || (!tag.picture && tag.pictureSize != 0))
            fail("inconsistent cover buffer after saving", path);
        delete[] tag.picture;
        ::remove(path.c_str());
    }
    return 0;
}
