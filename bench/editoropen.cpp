// The editor's "Open" of an mp3 with a 3000 × 3000 JPEG front cover, against readTag alone.
// Each iteration runs, in turn and in a rotating order, so that every variant sees the same state
// of a busy machine (wall-clock medians per call, the user's wait):
//   readTag   readTag alone, the cover released;
//   inplace   readTag, then the cover decoded at the preview's size on the calling thread, as
//             the editor's Open did before its preview moved to the background;
//   open      TextFinder::openFile until it returns: fields, report and status filled;
//   started   the same call and the event-loop pass after it, which starts the decode: waking
//             the worker is not free when no core is idle;
//   shown     the same call until the editor says the cover is on show (coverShown), the event
//             loop running meanwhile as the window's does.
// open, started and shown are taken from one call; the next variant starts only once the cover
// is shown.
// The file comes from bench/make-files.sh; bench/run.sh runs it and prints the table.
#include "benchdata.h"
#include "coverimage.h"
#include "quillet.h"
#include "textfinder.h"

#include <QApplication>
#include <QByteArray>
#include <QEventLoop>
#include <QImage>
#include <QPixmap>
#include <QString>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// Stands in for the main window, which would also ask the network for its feeds.
class EditorHost : public QWidget
{
    Q_OBJECT

public slots:
    void updateSysInfo(const QString &) { }
};

namespace {

// Started and Shown are not runs of their own: the editor's run gives all three of its times.
enum Variant { ReadTag, InPlace, Open, Started, Shown, VariantCount };
constexpr int runCount = Started;
const char *const variantNames[VariantCount] = {"readTag", "inplace", "open", "started", "shown"};

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// readTag into a record; the caller owns the cover buffer.
tagstruct readFile(const std::wstring &path)
{
    tagstruct tag;
    readTag(path, &tag);
    return tag;
}

QPixmap previewInPlace(const tagstruct &tag)
{
    return QPixmap::fromImage(
            coverimage::decodeShown(QByteArray::fromRawData(tag.picture, tag.pictureSize)));
}

// Counts the editor's coverShown signals.
class CoverCounter
{
public:
    explicit CoverCounter(TextFinder &editor)
    {
        QObject::connect(&editor, &TextFinder::coverShown, [this] { ++count; });
    }

    int seen() const { return count; }

    // Runs the event loop until more than seen signals have come.
    void waitPast(int seen)
    {
        while (count <= seen)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

private:
    int count = 0;
};

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start, Clock::time_point stop)
{
    return std::chrono::duration<double, std::milli>(stop - start).count();
}

// readTag, with the preview decoded in place when asked; the cover is released before the end.
bool readAndDecode(const std::wstring &widePath, bool decode)
{
    const tagstruct tag = readFile(widePath);
    const std::unique_ptr<char[]> picture(tag.picture);
    if (!picture)
        return false;
    return !decode
            || previewInPlace(tag).size() == QSize(coverimage::shownSide, coverimage::shownSide);
}

// One run of a variant; the editor's records both its times.
bool runVariant(Variant variant, const std::wstring &widePath, const QString &path,
                TextFinder &editor, CoverCounter &covers, std::vector<double> *times)
{
    const auto start = Clock::now();
    if (variant != Open) {
        if (!readAndDecode(widePath, variant == InPlace))
            return false;
        times[variant].push_back(msSince(start, Clock::now()));
        return true;
    }
    const int seen = covers.seen();
    if (!editor.openFile(path))
        return false;
    const auto opened = Clock::now();
    QCoreApplication::processEvents();
    const auto started = Clock::now();
    covers.waitPast(seen);
    times[Open].push_back(msSince(start, opened));
    times[Started].push_back(msSince(start, started));
    times[Shown].push_back(msSince(start, Clock::now()));
    return true;
}

void openPaired(benchmark::State &state, const std::string &file)
{
    const std::wstring widePath = benchdata::widen(file);
    const QString path = QString::fromStdString(file);
    EditorHost host;
    auto *editor = new TextFinder(&host);
    CoverCounter covers(*editor);
    std::vector<double> times[VariantCount];
    int first = 0;
    for (auto _ : state) {
        for (int turn = 0; turn < runCount; ++turn) {
            const auto variant = static_cast<Variant>((first + turn) % runCount);
            if (!runVariant(variant, widePath, path, *editor, covers, times)) {
                state.SkipWithError((std::string(variantNames[variant]) + " failed").c_str());
                return;
            }
        }
        first = (first + 1) % runCount;
    }
    for (int v = 0; v < VariantCount; ++v)
        state.counters[std::string(variantNames[v]) + "_ms"] = median(times[v]);
}

// Keeps each repetition's counters while the console reporter prints as usual.
class CollectingReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            for (int v = 0; v < VariantCount; ++v) {
                const auto it = run.counters.find(std::string(variantNames[v]) + "_ms");
                if (it != run.counters.end())
                    medians[v].push_back(it->second.value);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // The median over the repetitions, or a negative number when nothing ran.
    double ms(int variant) const
    {
        return medians[variant].empty() ? -1.0 : median(medians[variant]);
    }

private:
    std::vector<double> medians[VariantCount];
};

void printTable(const CollectingReporter &reporter, const std::string &file)
{
    const double base = reporter.ms(ReadTag);
    std::printf("\nOpen of %s (wall-clock ms per call: medians; goal: Open <= 1.5 x readTag)\n",
                file.c_str());
    std::printf("%-46s %10s %12s\n", "variant", "ms", "x readTag");
    const char *const labels[VariantCount] = {
            "readTag alone",
            "readTag + preview decoded in place",
            "editor Open, until it returns",
            "editor Open + the pass that starts the decode",
            "editor Open, until the cover is shown",
    };
    for (int v = 0; v < VariantCount; ++v) {
        const double ms = reporter.ms(v);
        if (ms < 0 || base <= 0)
            std::printf("%-46s %10s %12s\n", labels[v], "-", "-");
        else
            std::printf("%-46s %10.2f %12.2f\n", labels[v], ms, ms / base);
    }
    if (base > 0 && reporter.ms(Open) >= 0)
        std::printf("goal %s\n", reporter.ms(Open) <= 1.5 * base ? "met" : "MISSED");
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // No window is shown; the editor only needs its widgets.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const std::string file = benchdata::audioFile("mp3", "2M-cover3000");
    if (!benchdata::exists(file)) {
        std::fprintf(stderr, "missing %s: run bench/make-files.sh first\n", file.c_str());
        return 1;
    }
    benchmark::RegisterBenchmark("open/mp3/cover3000", openPaired, file)
            ->Unit(benchmark::kMillisecond);

    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    printTable(reporter, file);
    return 0;
}

#include "editoropen.moc"
