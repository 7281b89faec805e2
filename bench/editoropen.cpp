// The editor's "Open" of an mp3 with a 3000 × 3000 JPEG front cover, against readTag alone.
// Each iteration runs, in turn and in a rotating order, so that every variant sees the same state
// of a busy machine (wall-clock medians per call, the user's wait):
//   readTag   readTag alone, the cover copied out and released;
//   before    readTag, then the cover decoded at full size and scaled to the preview;
//   after     readTag, then the cover decoded straight at the preview's size (coverimage);
//   editor    TextFinder::openFile: the editor's whole Open with the form filled.
// The file comes from bench/make-files.sh; bench/run.sh runs it and prints the table.
#include "benchdata.h"
#include "coverimage.h"
#include "quillet.h"
#include "textfinder.h"

#include <QApplication>
#include <QByteArray>
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

enum Variant { ReadTag, Before, After, Editor, VariantCount };
const char *const variantNames[VariantCount] = {"readTag", "before", "after", "editor"};

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

// The preview as the editor made it before: the whole cover decoded, then scaled.
QPixmap previewBefore(const tagstruct &tag)
{
    QImage image;
    image.loadFromData(QByteArray(tag.picture, tag.pictureSize));
    return QPixmap::fromImage(image).scaled(coverimage::shownSide, coverimage::shownSide,
                                            Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

QPixmap previewAfter(const tagstruct &tag)
{
    return QPixmap::fromImage(
            coverimage::decodeShown(QByteArray::fromRawData(tag.picture, tag.pictureSize)));
}

bool runVariant(Variant variant, const std::wstring &widePath, const QString &path,
                TextFinder &editor)
{
    if (variant == Editor)
        return editor.openFile(path);
    const tagstruct tag = readFile(widePath);
    const std::unique_ptr<char[]> picture(tag.picture);
    if (!picture)
        return false;
    if (variant == Before)
        return previewBefore(tag).size() == QSize(coverimage::shownSide, coverimage::shownSide);
    if (variant == After)
        return previewAfter(tag).size() == QSize(coverimage::shownSide, coverimage::shownSide);
    return true;
}

void openPaired(benchmark::State &state, const std::string &file)
{
    const std::wstring widePath = benchdata::widen(file);
    const QString path = QString::fromStdString(file);
    EditorHost host;
    auto *editor = new TextFinder(&host);
    std::vector<double> times[VariantCount];
    int first = 0;
    for (auto _ : state) {
        for (int turn = 0; turn < VariantCount; ++turn) {
            const auto variant = static_cast<Variant>((first + turn) % VariantCount);
            const auto start = std::chrono::steady_clock::now();
            const bool ok = runVariant(variant, widePath, path, *editor);
            const auto stop = std::chrono::steady_clock::now();
            if (!ok) {
                state.SkipWithError((std::string(variantNames[variant]) + " failed").c_str());
                return;
            }
            times[variant].push_back(
                    std::chrono::duration<double, std::milli>(stop - start).count());
        }
        first = (first + 1) % VariantCount;
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
    std::printf("\nOpen of %s (wall-clock ms per call: medians; goal: editor <= 1.5 x readTag)\n",
                file.c_str());
    std::printf("%-34s %10s %12s\n", "variant", "ms", "x readTag");
    const char *const labels[VariantCount] = {
            "readTag alone",
            "before: full decode + scale",
            "after: decode at shown size",
            "editor Open (after), whole form",
    };
    for (int v = 0; v < VariantCount; ++v) {
        const double ms = reporter.ms(v);
        if (ms < 0 || base <= 0)
            std::printf("%-34s %10s %12s\n", labels[v], "-", "-");
        else
            std::printf("%-34s %10.2f %12.2f\n", labels[v], ms, ms / base);
    }
    if (base > 0 && reporter.ms(Editor) >= 0)
        std::printf("goal %s\n", reporter.ms(Editor) <= 1.5 * base ? "met" : "MISSED");
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
