// quillet's readTag and saveTag against the same work done straight on TagLib (taglibdirect),
// on generated mp3, flac, wma, m4a and ogg files of about 3, 30 and 300 MB with a 1 MB cover.
// The files come from bench/make-files.sh; bench/run.sh runs everything and prints the tables.
//
// read/<kind>/<size>: readTag and the TagLib baseline called in turn, each call timed by the
// thread's CPU clock; the order alternates between iterations. Both sides thus see the same
// state of a busy machine, and the counters give each side's median per call and their ratio.
// save/<kind>/<size>/<change>/<who>, where who is quillet, taglib (in place, as TagLib saves)
// or taglib+fsync (in place, then flushed to disk, which a crash-safe save must do as well).
// Every save starts from a fresh, flushed copy of the file; only the call itself is timed. The
// bytes each save writes are counted too (write_bytes of /proc/self/io).
//
// full/<kind>/<size>: readFull against FileRef, properties(), every picture and the audio
// properties on bare TagLib, paired the same way. change/<kind>/<size>/<who>: saveChanges of one
// key (the title's case, same length, as saveTag's "fits") against setting that key in TagLib's
// property map and saving in place, with fsync.
#include "benchdata.h"
#include "engine.h"
#include "quillet.h"
#include "taglibdirect.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

const std::vector<std::string> kinds = {"mp3", "flac", "wma", "m4a", "ogg"};

double minimum(const std::vector<double> &values)
{
    return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

double threadCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

void readPaired(benchmark::State &state, const std::string &path)
{
    const std::wstring widePath = benchdata::widen(path);
    std::vector<double> ours;
    std::vector<double> theirs;
    bool quilletFirst = true;
    for (auto _ : state) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool quilletTurn = (turn == 0) == quilletFirst;
            const double start = threadCpuMs();
            if (quilletTurn) {
                tagstruct tag;
                readTag(widePath, &tag);
                const bool found = tag.picture != nullptr;
                delete[] tag.picture;
                if (!found) {
                    state.SkipWithError("no cover read");
                    return;
                }
            } else {
                benchmark::DoNotOptimize(taglibdirect::read(path));
            }
            (quilletTurn ? ours : theirs).push_back(threadCpuMs() - start);
        }
        quilletFirst = !quilletFirst;
    }
    const double oursMs = median(ours);
    const double theirsMs = median(theirs);
    state.counters["quillet_ms"] = oursMs;
    state.counters["taglib_ms"] = theirsMs;
    state.counters["ratio"] = theirsMs > 0 ? oursMs / theirsMs : 0.0;
}

// readFull against its baseline, paired as readPaired pairs readTag.
void readFullPaired(benchmark::State &state, const std::string &path)
{
    const std::wstring widePath = benchdata::widen(path);
    std::vector<double> ours;
    std::vector<double> theirs;
    bool quilletFirst = true;
    for (auto _ : state) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool quilletTurn = (turn == 0) == quilletFirst;
            const double start = threadCpuMs();
            if (quilletTurn) {
                quillet::FullTag tag;
                if (!quillet::readFull(widePath, tag) || tag.pictures.empty()) {
                    state.SkipWithError("no picture read");
                    return;
                }
            } else {
                benchmark::DoNotOptimize(taglibdirect::readEverything(path));
            }
            (quilletTurn ? ours : theirs).push_back(threadCpuMs() - start);
        }
        quilletFirst = !quilletFirst;
    }
    const double oursMs = median(ours);
    const double theirsMs = median(theirs);
    state.counters["quillet_ms"] = oursMs;
    state.counters["taglib_ms"] = theirsMs;
    state.counters["ratio"] = theirsMs > 0 ? oursMs / theirsMs : 0.0;
}

// The change: every field as the file holds it, but the title's case (same length); with grow,
// also a larger cover, so the tag no longer fits its padding.
struct Change
{
    bool grow;
    std::vector<char> cover;
};

bool saveOnce(const std::string &who, const std::string &path, const Change &change)
{
    if (who == "changes") {
        quillet::ChangeSet changes;
        changes.set.push_back({"TITLE", {"Benchmark TITLE"}});
        return quillet::saveChanges(benchdata::widen(path), changes);
    }
    if (who == "property+fsync")
        return taglibdirect::saveProperty(path, "TITLE", "Benchmark TITLE")
                && benchdata::syncFile(path);
    const char *cover = change.grow ? change.cover.data() : nullptr;
    const std::size_t coverSize = change.grow ? change.cover.size() : 0;
    if (who == "quillet") {
        tagstruct tag;
        tag.title = L"Benchmark TITLE";
        tag.artist = L"Benchmark artist";
        tag.album = L"Benchmark album";
        tag.comment = L"Generated for the benchmarks";
        tag.genre = L"Ambient";
        tag.year = L"2024";
        tag.track = L"1";
        tag.picture = const_cast<char *>(cover);
        tag.pictureSize = static_cast<std::int32_t>(coverSize);
        return saveTag(benchdata::widen(path), &tag) == 0;
    }
    taglibdirect::Fields fields;
    fields.title = "Benchmark TITLE";
    fields.artist = "Benchmark artist";
    fields.album = "Benchmark album";
    fields.comment = "Generated for the benchmarks";
    fields.genre = "Ambient";
    fields.year = 2024;
    fields.track = 1;
    const bool ok = taglibdirect::save(path, fields, cover, coverSize);
    return ok && (who != "taglib+fsync" || benchdata::syncFile(path));
}

// Bytes this process has caused to be written to storage, or -1 where the system does not say.
long long writtenBytes()
{
    std::FILE *io = std::fopen("/proc/self/io", "r");
    if (!io)
        return -1;
    long long bytes = -1;
    char line[128];
    while (std::fgets(line, sizeof line, io)) {
        if (std::sscanf(line, "write_bytes: %lld", &bytes) == 1)
            break;
    }
    std::fclose(io);
    return bytes;
}

void save(benchmark::State &state, const std::string &source, const std::string &who,
          const Change &change)
{
    double written = 0;
    const std::string work = benchdata::workDir() + "/save-" + std::to_string(::getpid()) + "."
            + source.substr(source.rfind('.') + 1);
    for (auto _ : state) {
        if (!benchdata::copyFresh(source, work)) {
            state.SkipWithError("cannot copy the file");
            break;
        }
        const long long writtenBefore = writtenBytes();
        const auto start = std::chrono::steady_clock::now();
        const bool ok = saveOnce(who, work, change);
        const auto stop = std::chrono::steady_clock::now();
        written += static_cast<double>(writtenBytes() - writtenBefore);
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
        if (!ok) {
            state.SkipWithError("save failed");
            break;
        }
        // Let no write-back of this save run into the next measurement.
        benchdata::syncFile(work);
    }
    ::unlink(work.c_str());
    if (state.iterations() > 0)
        state.counters["written_kib"] = written / 1024.0 / static_cast<double>(state.iterations());
}

// Collects each case's results while the console reporter prints as usual: for saves the
// fastest repetition (the least disturbed by other work on the machine), by wall-clock time
// since flushing to disk is mostly waiting; for reads the counters of the paired runs (CPU time:
// page-cache reads included, waiting for a busy machine's CPU not).
class CollectingReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            const double toMs = run.time_unit == benchmark::kMillisecond ? 1.0
                    : run.time_unit == benchmark::kMicrosecond           ? 1e-3
                                                                         : 1e-6;
            Times &times = cases[run.run_name.function_name];
            times.real.push_back(run.GetAdjustedRealTime() * toMs);
            for (const char *counter : {"quillet_ms", "taglib_ms", "ratio", "written_kib"}) {
                const auto it = run.counters.find(counter);
                if (it != run.counters.end())
                    times.counters[counter].push_back(it->second.value);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Milliseconds, or a negative number when the case did not run.
    double bestReal(const std::string &name) const { return best(name, &Times::real); }

    // The median over the repetitions of a counter, or a negative number.
    double counter(const std::string &name, const std::string &counterName) const
    {
        const auto it = cases.find(name);
        if (it == cases.end())
            return -1.0;
        const auto values = it->second.counters.find(counterName);
        return values == it->second.counters.end() ? -1.0 : median(values->second);
    }

private:
    struct Times
    {
        std::vector<double> real;
        std::map<std::string, std::vector<double>> counters;
    };

    double best(const std::string &name, std::vector<double> Times::*which) const
    {
        const auto it = cases.find(name);
        return it == cases.end() ? -1.0 : minimum(it->second.*which);
    }

    std::map<std::string, Times> cases;
};

std::string cell(double ms)
{
    char text[32];
    if (ms < 0)
        std::snprintf(text, sizeof text, "%10s", "-");
    else
        std::snprintf(text, sizeof text, "%10.3f", ms);
    return text;
}

std::string factor(double value)
{
    char text[32];
    if (value < 0)
        std::snprintf(text, sizeof text, "%7s", "-");
    else
        std::snprintf(text, sizeof text, "%7.2f", value);
    return text;
}

std::string kib(double value)
{
    char text[32];
    if (value < 0)
        std::snprintf(text, sizeof text, "%12s", "-");
    else
        std::snprintf(text, sizeof text, "%12.0f", value);
    return text;
}

std::string ratio(double a, double b)
{
    return a < 0 || b <= 0 ? factor(-1.0) : factor(a / b);
}

void printTables(const CollectingReporter &reporter)
{
    std::printf("\nreadTag (CPU ms per call: medians, calls paired with the baseline)\n");
    std::printf("%-14s %10s %10s %7s %12s\n", "case", "quillet", "taglib", "ratio", "300M/3M");
    for (const std::string &kind : kinds) {
        const double small = reporter.counter("read/" + kind + "/3M", "quillet_ms");
        for (const std::string size : {"3M", "30M", "300M"}) {
            const std::string name = "read/" + kind + "/" + size;
            const double ours = reporter.counter(name, "quillet_ms");
            const double theirs = reporter.counter(name, "taglib_ms");
            const double paired = reporter.counter(name, "ratio");
            std::printf("%-14s %s %s %s %12s\n", (kind + " " + size).c_str(), cell(ours).c_str(),
                        cell(theirs).c_str(), factor(paired).c_str(),
                        size == std::string("300M") ? ratio(ours, small).c_str() : "");
        }
    }
    std::printf("\nreadFull (CPU ms per call: medians, calls paired with the baseline)\n");
    std::printf("%-14s %10s %10s %7s\n", "case", "quillet", "taglib", "ratio");
    for (const std::string &kind : kinds) {
        for (const std::string size : {"3M", "30M", "300M"}) {
            const std::string name = "full/" + kind + "/" + size;
            std::printf("%-14s %s %s %s\n", (kind + " " + size).c_str(),
                        cell(reporter.counter(name, "quillet_ms")).c_str(),
                        cell(reporter.counter(name, "taglib_ms")).c_str(),
                        factor(reporter.counter(name, "ratio")).c_str());
        }
    }
    std::printf("\nsaveChanges of one key (wall-clock ms, best of the repetitions; KiB written)\n");
    std::printf("%-14s %10s %14s %7s %12s %12s\n", "case", "quillet", "taglib+fsync", "ratio",
                "quillet KiB", "taglib KiB");
    for (const std::string &kind : kinds) {
        for (const std::string size : {"3M", "300M"}) {
            const std::string base = "change/" + kind + "/" + size;
            const double ours = reporter.bestReal(base + "/changes");
            const double theirs = reporter.bestReal(base + "/property+fsync");
            std::printf("%-14s %s %14s %s %s %s\n", (kind + " " + size).c_str(), cell(ours).c_str(),
                        cell(theirs).c_str(), ratio(ours, theirs).c_str(),
                        kib(reporter.counter(base + "/changes", "written_kib")).c_str(),
                        kib(reporter.counter(base + "/property+fsync", "written_kib")).c_str());
        }
    }
    std::printf(
            "\nsaveTag (wall-clock ms per call, best of the repetitions; KiB written per call)\n");
    std::printf("%-20s %10s %10s %7s %12s %7s %12s %12s\n", "case", "quillet", "taglib", "ratio",
                "taglib+fsync", "ratio", "quillet KiB", "taglib KiB");
    for (const std::string &kind : kinds) {
        for (const std::string size : {"3M", "300M"}) {
            for (const std::string change : {"fits", "grow"}) {
                const std::string base = "save/" + kind + "/" + size + "/" + change;
                const double ours = reporter.bestReal(base + "/quillet");
                const double theirs = reporter.bestReal(base + "/taglib");
                const double durable = reporter.bestReal(base + "/taglib+fsync");
                const double ourKiB = reporter.counter(base + "/quillet", "written_kib");
                const double theirKiB = reporter.counter(base + "/taglib+fsync", "written_kib");
                std::printf("%-20s %s %s %s %12s %s %12s %12s\n",
                            (kind + " " + size + " " + change).c_str(), cell(ours).c_str(),
                            cell(theirs).c_str(), ratio(ours, theirs).c_str(),
                            cell(durable).c_str(), ratio(ours, durable).c_str(),
                            kib(ourKiB).c_str(), kib(theirKiB).c_str());
            }
        }
    }
}

void registerAll(std::vector<std::string> &missing)
{
    static std::vector<Change> changes;
    changes.push_back({false, {}});
    changes.push_back({true, benchdata::readBytes(benchdata::picture("cover-grow.jpg"))});

    for (const std::string &kind : kinds) {
        for (const std::string size : {"3M", "30M", "300M"}) {
            const std::string path = benchdata::audioFile(kind, size);
            if (!benchdata::exists(path)) {
                missing.push_back(path);
                continue;
            }
            benchmark::RegisterBenchmark(("read/" + kind + "/" + size).c_str(), readPaired, path)
                    ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("full/" + kind + "/" + size).c_str(), readFullPaired,
                                         path)
                    ->Unit(benchmark::kMillisecond);
        }
    }
    for (const std::string &kind : kinds) {
        for (const std::string size : {"3M", "300M"}) {
            const std::string path = benchdata::audioFile(kind, size);
            if (!benchdata::exists(path))
                continue;
            for (const std::string who : {"changes", "property+fsync"}) {
                benchmark::RegisterBenchmark(("change/" + kind + "/" + size + "/" + who).c_str(),
                                             save, path, who, changes.front())
                        ->Unit(benchmark::kMillisecond)
                        ->UseManualTime()
                        ->Iterations(size == std::string("3M") ? 10 : 2);
            }
            for (const Change &change : changes) {
                const std::string base
                        = "save/" + kind + "/" + size + "/" + (change.grow ? "grow" : "fits");
                for (const std::string who : {"quillet", "taglib", "taglib+fsync"}) {
                    benchmark::RegisterBenchmark((base + "/" + who).c_str(), save, path, who,
                                                 change)
                            ->Unit(benchmark::kMillisecond)
                            ->UseManualTime()
                            ->Iterations(size == std::string("3M") ? 10 : 2);
                }
            }
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    std::vector<std::string> missing;
    registerAll(missing);
    for (const std::string &path : missing)
        std::fprintf(stderr, "missing %s: run bench/make-files.sh first\n", path.c_str());

    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    printTables(reporter);
    return 0;
}
