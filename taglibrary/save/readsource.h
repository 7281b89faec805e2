// What readTag opens: first, whatever a save that was cut off left beside the file is dealt
// with; then the file by its name, or, where that save cannot be undone here (the folder or the
// file cannot be written), the file as it was before it.
#ifndef QUILLET_SAVE_READSOURCE_H
#define QUILLET_SAVE_READSOURCE_H

#include "nativepath.h"

#include <memory>

namespace TagLib {
class IOStream;
}

namespace quillet {

class ReadSource
{
public:
    explicit ReadSource(const NativePath &path);
    ~ReadSource();
    ReadSource(const ReadSource &) = delete;
    ReadSource &operator=(const ReadSource &) = delete;

    // Null: TagLib opens the file by its name, as always. Lives as long as this object.
    TagLib::IOStream *stream() const { return m_stream.get(); }

private:
    int m_lock = -1; // holds the file with a shared lock: no save writes it while it is read
    std::unique_ptr<TagLib::IOStream> m_stream;
};

} // namespace quillet

#endif // QUILLET_SAVE_READSOURCE_H
