#include "fileview.h"

#include "quillet.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>

namespace quillet {

std::unique_ptr<FileView> FileView::open(const std::string &path)
{
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.isOpen())
        return nullptr;
    // The size as the file has it once open: the name may have been given to another file since
    // it was looked at.
    struct stat info;
    if (fstat(file.get(), &info) != 0)
        return nullptr;
    if (!S_ISREG(info.st_mode)) {
        failWith(QUILLET_ENOTAUDIO);
        return nullptr;
    }
    return std::unique_ptr<FileView>(
            new FileView(std::move(file), static_cast<long long>(info.st_size), path));
}

FileView::FileView(Descriptor file, long long size, std::string name)
    : PositionedStream(std::move(name), size)
    , m_file(std::move(file))
{ }

TagLib::ByteVector FileView::readBlock(BlockSize length)
{
    TagLib::ByteVector block = blockFor(length);
    if (block.isEmpty())
        return block;
    const long long count = block.size();
    long long got;
    if (m_position >= m_pagesAt && m_position + count <= m_pagesAt + m_pagesHeld) {
        std::memcpy(block.data(), m_pages.get() + (m_position - m_pagesAt),
                    static_cast<std::size_t>(count));
        got = count;
    } else if (count >= pageSize) {
        got = readAt(m_file.get(), block.data(), count, m_position);
    } else {
        // The one or two whole pages the read falls in: TagLib reads headers a few bytes apart.
        if (!m_pages)
            m_pages = std::make_unique<char[]>(2 * pageSize);
        m_pagesAt = m_position / pageSize * pageSize;
        const long long end
                = std::min(m_size, (m_position + count + pageSize - 1) / pageSize * pageSize);
        m_pagesHeld = readAt(m_file.get(), m_pages.get(), end - m_pagesAt, m_pagesAt);
        got = std::clamp(m_pagesAt + m_pagesHeld - m_position, 0LL, count);
        if (got > 0)
            std::memcpy(block.data(), m_pages.get() + (m_position - m_pagesAt),
                        static_cast<std::size_t>(got));
    }
    block.resize(static_cast<unsigned int>(got));
    m_position += got;
    return block;
}

} // namespace quillet
