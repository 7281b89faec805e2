// Descriptor on every platform: a C runtime file descriptor (on Windows, one over a handle).
#include "fileio.h"

#include <unistd.h>

namespace quillet {

Descriptor &Descriptor::operator=(Descriptor &&other) noexcept
{
    if (this != &other)
        reset(other.release());
    return *this;
}

int Descriptor::release()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

void Descriptor::reset(int fd)
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = fd;
}

} // namespace quillet
