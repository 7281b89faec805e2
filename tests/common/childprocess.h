// Child processes for tests: a piece of a test run in a forked child (without root's rights, so
// that permission checks hold when the suite itself runs as root, or under limits that must not
// touch the test), and a real program run with its output captured.
#ifndef CHILDPROCESS_H
#define CHILDPROCESS_H

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace testsupport {

// The user and group a child drops to when the test runs as root ("nobody" on Debian).
constexpr unsigned int unprivilegedId = 65534;

enum class ChildRights {
    Same, // the test's own user
    Unprivileged, // unprivilegedId when the test runs as root, else the test's own user
};

// In a child: drops to unprivilegedId where rights ask for it and the test runs as root; false
// where that fails.
bool dropRights(ChildRights rights);

// Runs work in a forked child and returns its result; nothing when the child could not drop its
// rights or died.
std::optional<int> runInChild(const std::function<int()> &work,
                              ChildRights rights = ChildRights::Same);

// How a program run ended and what it wrote.
struct ProgramRun
{
    bool exited = false; // it ran and exited by itself: no crash, no time-out
    int exitCode = -1;
    QByteArray out; // standard output
    QByteArray err; // standard error
};

// Runs program with arguments and an empty standard input, and waits for it to end; a program
// still running after timeoutMs is killed.
ProgramRun runProgram(const QString &program, const QStringList &arguments, int timeoutMs = 60000);

} // namespace testsupport

#endif // CHILDPROCESS_H
