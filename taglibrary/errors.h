// How the library says why it failed: errno, as the C library does (the values: quillet.h).
#ifndef QUILLET_ERRORS_H
#define QUILLET_ERRORS_H

#include <cerrno>

namespace quillet {

// Returns false with errno set to error: for failures that no system call reported.
inline bool failWith(int error)
{
    errno = error;
    return false;
}

// Keeps errno as it is for the scope: clean-up after a failure must not hide why it failed.
class KeepErrno
{
public:
    KeepErrno()
        : m_errno(errno)
    { }
    ~KeepErrno() { errno = m_errno; }
    KeepErrno(const KeepErrno &) = delete;
    KeepErrno &operator=(const KeepErrno &) = delete;

private:
    int m_errno;
};

} // namespace quillet

#endif // QUILLET_ERRORS_H
