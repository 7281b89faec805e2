#include "childprocess.h"

#include <QProcess>

#include <climits>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

bool dropRights(ChildRights rights)
{
    return rights == ChildRights::Same || geteuid() != 0
            || (setgroups(0, nullptr) == 0 && setgid(unprivilegedId) == 0
                && setuid(unprivilegedId) == 0);
}

std::optional<int> runInChild(const std::function<int()> &work, ChildRights rights)
{
    int channel[2];
    if (pipe(channel) != 0)
        return std::nullopt;
    const pid_t child = fork();
    if (child < 0) {
        close(channel[0]);
        close(channel[1]);
        return std::nullopt;
    }
    if (child == 0) {
        close(channel[0]);
        int result = INT_MIN;
        if (dropRights(rights))
            result = work();
        const ssize_t written = write(channel[1], &result, sizeof result);
        _exit(written == sizeof result ? 0 : 1);
    }
    close(channel[1]);
    int result = INT_MIN;
    const ssize_t got = read(channel[0], &result, sizeof result);
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (got != sizeof result || result == INT_MIN || !WIFEXITED(status))
        return std::nullopt;
    return result;
}

ProgramRun runProgram(const QString &program, const QStringList &arguments, int timeoutMs)
{
    ProgramRun run;
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(timeoutMs))
        return run;
    process.closeWriteChannel();
    const bool finished = process.waitForFinished(timeoutMs);
    if (!finished) {
        process.kill();
        process.waitForFinished();
    }
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    run.exited = finished && process.exitStatus() == QProcess::NormalExit;
    run.exitCode = run.exited ? process.exitCode() : -1;
    return run;
}

} // namespace testsupport
