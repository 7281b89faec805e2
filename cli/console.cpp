#include "console.h"

#include "widetext.h"

#include <cstdio>

#ifdef _WIN32
#    include <io.h>
#else
#    include <unistd.h>
#endif

namespace {

bool isTerminal(FILE *stream)
{
#ifdef _WIN32
    return _isatty(_fileno(stream));
#else
    return isatty(fileno(stream));
#endif
}

bool writeWhole(FILE *stream, const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return true;
    const auto size = static_cast<std::size_t>(bytes.size());
    return std::fwrite(bytes.constData(), 1, size, stream) == size && std::fflush(stream) == 0;
}

} // namespace

Console::Console()
    : m_outputIsTerminal(isTerminal(stdout))
    , m_errorIsTerminal(isTerminal(stderr))
{ }

Console::~Console()
{
    flush();
    clearProgress();
}

void Console::out(const QByteArray &bytes)
{
    m_pending += bytes;
}

bool Console::flush()
{
    if (m_pending.isEmpty())
        return !m_outputFailed;
    // Output into a file or a pipe leaves the progress line standing.
    if (m_outputIsTerminal)
        clearProgress();
    if (!m_outputFailed)
        m_outputFailed = !writeWhole(stdout, m_pending);
    m_pending.clear();
    return !m_outputFailed;
}

void Console::error(const QString &line)
{
    flush();
    clearProgress();
    // A file's name as the system has it, whatever bytes it holds.
    writeWhole(stderr, nativeName(line) + '\n');
}

void Console::progress(const QString &line)
{
    if (!m_errorIsTerminal)
        return;
    // Carriage return, the line, then erase whatever a longer previous line left.
    writeWhole(stderr, "\r" + line.toUtf8() + "\x1b[K");
    m_progressShown = true;
}

void Console::clearProgress()
{
    if (!m_progressShown)
        return;
    writeWhole(stderr, QByteArrayLiteral("\r\x1b[K"));
    m_progressShown = false;
}
