// Runs a piece of a test in a forked child without root's rights, so that permission checks
// hold when the suite itself runs as root.
#ifndef UNPRIVILEGED_H
#define UNPRIVILEGED_H

#include <functional>
#include <optional>

namespace testsupport {

// The user and group the child drops to when the test runs as root ("nobody" on Debian).
constexpr unsigned int unprivilegedId = 65534;

// Runs work in a forked child, as unprivilegedId when the caller is root, and returns its
// result; nothing when the child could not drop its rights or died.
std::optional<int> runUnprivileged(const std::function<int()> &work);

} // namespace testsupport

#endif // UNPRIVILEGED_H
