// Runs a piece of a test in a forked child: without root's rights, so that permission checks
// hold when the suite itself runs as root, or under limits that must not touch the test.
#ifndef CHILDPROCESS_H
#define CHILDPROCESS_H

#include <functional>
#include <optional>

namespace testsupport {

// The user and group a child drops to when the test runs as root ("nobody" on Debian).
constexpr unsigned int unprivilegedId = 65534;

enum class ChildRights {
    Same, // the test's own user
    Unprivileged, // unprivilegedId when the test runs as root, else the test's own user
};

// Runs work in a forked child and returns its result; nothing when the child could not drop its
// rights or died.
std::optional<int> runInChild(const std::function<int()> &work,
                              ChildRights rights = ChildRights::Same);

} // namespace testsupport

#endif // CHILDPROCESS_H
