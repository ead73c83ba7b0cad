// Logging costs: the time one log call takes on the caller's thread with an
// asynchronous file destination, and how many lines per second the file
// destination writes.
#include "logging/FileDestination.h"
#include "logging/Logger.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

using namespace trevalin;

namespace {

const QString applicationFormat = QStringLiteral("$Dyyyy-MM-dd HH:mm:ss.SSS$d $C$L$c: $M");

std::shared_ptr<FileDestination> installFile(const QTemporaryDir& dir, int amount = 1) {
    Logger::removeAllDestinations();
    auto file = std::make_shared<FileDestination>(dir.filePath(QStringLiteral("bench.log")));
    file->setFormat(applicationFormat);
    file->setLogFileAmount(amount);
    Logger::addDestination(file);
    return file;
}

// One TLOG_INFO call timed on its own. The queue is drained (untimed) every
// 4096 calls, so memory stays bounded while the writer runs alongside.
void BM_LogCallAsyncFile(benchmark::State& state) {
    QTemporaryDir dir;
    installFile(dir);
    std::vector<double> samples;
    samples.reserve(1 << 20);
    int n = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        TLOG_INFO(QStringLiteral("Processed job %1 of %2 [ Process.processQueue() ]").arg(n).arg(100000));
        const auto end = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(end - start).count();
        state.SetIterationTime(seconds);
        if (samples.size() < samples.capacity())
            samples.push_back(seconds * 1e9);
        if (++n % 4096 == 0)
            Logger::flush(60);
    }
    Logger::flush(60);
    Logger::removeAllDestinations();
    if (!samples.empty()) {
        std::sort(samples.begin(), samples.end());
        state.counters["median_ns"] = samples[samples.size() / 2];
        state.counters["p99_ns"] = samples[samples.size() * 99 / 100];
    }
}
BENCHMARK(BM_LogCallAsyncFile)->UseManualTime()->MinTime(1.0);

// An entry below the destination's minimum level: no message is built.
void BM_LogCallFilteredOut(benchmark::State& state) {
    QTemporaryDir dir;
    installFile(dir)->setMinLevel(Level::Warning);
    int n = 0;
    for (auto _ : state)
        TLOG_DEBUG(QStringLiteral("Never built %1").arg(++n));
    Logger::removeAllDestinations();
}
BENCHMARK(BM_LogCallFilteredOut);

// Lines per second from the first call until the file holds every line
// (rendering, the date, UTF-8 conversion and one append per line).
void BM_FileLinesPerSecond(benchmark::State& state) {
    QTemporaryDir dir;
    auto file = installFile(dir, int(state.range(1)));
    file->setLogFileMaxSize(64 * 1024 * 1024);
    const int lines = int(state.range(0));
    for (auto _ : state) {
        for (int i = 0; i < lines; ++i)
            TLOG_INFO(QStringLiteral("Processed job %1 of %2 [ Process.processQueue() ]").arg(i).arg(lines));
        if (!Logger::flush(120))
            state.SkipWithError("flush timed out");
    }
    state.SetItemsProcessed(state.iterations() * lines);
    Logger::removeAllDestinations();
}
BENCHMARK(BM_FileLinesPerSecond)
    ->Args({100000, 1})
    ->Args({100000, 3})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
