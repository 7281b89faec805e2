#ifndef CONSOLE_H
#define CONSOLE_H

#include <QByteArray>
#include <QString>

// The program's standard output and standard error, used from the main thread only.
//
// Output is collected and written in whole pieces: a piece is never cut, so standard output never
// ends in the middle of a line. When standard error is a terminal a progress line may stand on
// it; it is cleared before anything else is written to that terminal.
class Console
{
public:
    Console();
    ~Console();

    Console(const Console &) = delete;
    Console &operator=(const Console &) = delete;

    // Queues bytes for standard output; flush() writes them.
    void out(const QByteArray &bytes);
    // Writes what out() queued. False once standard output could not take it all.
    bool flush();
    // Writes one line to standard error, after whatever is queued for standard output.
    void error(const QString &line);

    // A progress line on standard error, replacing the previous one; nothing unless standard
    // error is a terminal.
    void progress(const QString &line);
    void clearProgress();

private:
    QByteArray m_pending;
    bool m_outputIsTerminal;
    bool m_errorIsTerminal;
    bool m_progressShown = false;
    bool m_outputFailed = false;
};

#endif // CONSOLE_H
