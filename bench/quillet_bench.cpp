// quillet's readTag and saveTag against the same work done straight on TagLib (taglibdirect),
// on generated mp3, flac and wma files of about 3, 30 and 300 MB with a 1 MB cover. The files
// come from bench/make-files.sh; bench/run.sh runs everything and prints the tables.
//
// Names: read/<kind>/<size>/<who>, save/<kind>/<size>/<change>/<who>, where who is quillet,
// taglib (in place, as TagLib saves) or taglib+fsync (in place, then flushed to disk, which
// a crash-safe save must do as well). Every save starts from a fresh, flushed copy of the file;
// only the call itself is timed.
#include "benchdata.h"
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

const std::vector<std::string> kinds = {"mp3", "flac", "wma"};

double minimum(const std::vector<double> &values)
{
    return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

void readQuillet(benchmark::State &state, const std::string &path)
{
    const std::wstring widePath = benchdata::widen(path);
    for (auto _ : state) {
        tagstruct tag;
        readTag(widePath, &tag);
        if (!tag.picture) {
            state.SkipWithError("no cover read");
            break;
        }
        benchmark::DoNotOptimize(tag.picture[0]);
        delete[] tag.picture;
    }
}

void readDirect(benchmark::State &state, const std::string &path)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(taglibdirect::read(path));
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

void save(benchmark::State &state, const std::string &source, const std::string &who,
          const Change &change)
{
    const std::string work = benchdata::workDir() + "/save-" + std::to_string(::getpid()) + "."
            + source.substr(source.rfind('.') + 1);
    for (auto _ : state) {
        if (!benchdata::copyFresh(source, work)) {
            state.SkipWithError("cannot copy the file");
            break;
        }
        const auto start = std::chrono::steady_clock::now();
        const bool ok = saveOnce(who, work, change);
        const auto stop = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
        if (!ok) {
            state.SkipWithError("save failed");
            break;
        }
        // Let no write-back of this save run into the next measurement.
        benchdata::syncFile(work);
    }
    ::unlink(work.c_str());
}

// Collects the fastest repetition of each case (the least disturbed by other work on the
// machine) while the console reporter prints as usual. Reads are compared by CPU time (the
// process's user and system time: page-cache reads included, waiting for a busy machine's CPU
// not); saves by the wall-clock time of the call, since flushing to disk is mostly waiting.
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
            times.cpu.push_back(run.GetAdjustedCPUTime() * toMs);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Milliseconds, or a negative number when the case did not run.
    double bestCpu(const std::string &name) const { return best(name, &Times::cpu); }
    double bestReal(const std::string &name) const { return best(name, &Times::real); }

private:
    struct Times
    {
        std::vector<double> real;
        std::vector<double> cpu;
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

std::string ratio(double a, double b)
{
    char text[32];
    if (a < 0 || b <= 0)
        std::snprintf(text, sizeof text, "%7s", "-");
    else
        std::snprintf(text, sizeof text, "%7.2f", a / b);
    return text;
}

void printTables(const CollectingReporter &reporter)
{
    std::printf("\nreadTag (CPU ms per call, best of the repetitions)\n");
    std::printf("%-14s %10s %10s %7s %12s\n", "case", "quillet", "taglib", "ratio", "300M/3M");
    for (const std::string &kind : kinds) {
        const double small = reporter.bestCpu("read/" + kind + "/3M/quillet");
        for (const std::string size : {"3M", "30M", "300M"}) {
            const std::string base = "read/" + kind + "/" + size;
            const double ours = reporter.bestCpu(base + "/quillet");
            const double theirs = reporter.bestCpu(base + "/taglib");
            std::printf("%-14s %s %s %s %12s\n", (kind + " " + size).c_str(), cell(ours).c_str(),
                        cell(theirs).c_str(), ratio(ours, theirs).c_str(),
                        size == std::string("300M") ? ratio(ours, small).c_str() : "");
        }
    }
    std::printf("\nsaveTag (wall-clock ms per call, best of the repetitions)\n");
    std::printf("%-20s %10s %10s %7s %12s %7s\n", "case", "quillet", "taglib", "ratio",
                "taglib+fsync", "ratio");
    for (const std::string &kind : kinds) {
        for (const std::string size : {"3M", "300M"}) {
            for (const std::string change : {"fits", "grow"}) {
                const std::string base = "save/" + kind + "/" + size + "/" + change;
                const double ours = reporter.bestReal(base + "/quillet");
                const double theirs = reporter.bestReal(base + "/taglib");
                const double durable = reporter.bestReal(base + "/taglib+fsync");
                std::printf("%-20s %s %s %s %12s %s\n", (kind + " " + size + " " + change).c_str(),
                            cell(ours).c_str(), cell(theirs).c_str(), ratio(ours, theirs).c_str(),
                            cell(durable).c_str(), ratio(ours, durable).c_str());
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
            const std::string base = "read/" + kind + "/" + size;
            benchmark::RegisterBenchmark((base + "/quillet").c_str(), readQuillet, path)
                    ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark((base + "/taglib").c_str(), readDirect, path)
                    ->Unit(benchmark::kMillisecond);
        }
    }
    for (const std::string &kind : kinds) {
        for (const std::string size : {"3M", "300M"}) {
            const std::string path = benchdata::audioFile(kind, size);
            if (!benchdata::exists(path))
                continue;
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
