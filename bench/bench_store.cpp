// Content database figures for 100,000 records with all five checksums: save, load,
// CSV export, the file size and the process's peak memory.
#include "model/FileObject.h"
#include "store/CsvExport.h"
#include "store/Database.h"
#include "store/Debugging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

using namespace trevalin;

namespace {

constexpr int kRecords = 100000;

QString randomHex(int bytes) {
    QByteArray raw(bytes, Qt::Uninitialized);
    for (char& c : raw)
        c = char(QRandomGenerator::global()->bounded(256));
    return QString::fromLatin1(raw.toHex());
}

double peakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// The database file is made once and kept in the temporary folder, so a second run
// (e.g. --benchmark_filter=BM_Load) measures loading without the cost of building it.
struct Fixture {
    QString file;
    Fixture() {
        file = QDir::tempPath() + "/trevalin-bench-store.database.plist";
        if (QFileInfo::exists(file))
            return;
        Database db(file);
        for (int i = 0; i < kRecords; ++i) {
            const Location location(QString("/home/user/Documents/Project %1/images/photo_%2.jpg")
                                        .arg(i / 1000)
                                        .arg(i, 6, 10, QLatin1Char('0')));
            FileObjectData d;
            d.identifier = QUuid::createUuid();
            d.location = location;
            d.path = location.path();
            d.directory = location.directory();
            d.name = location.fileName();
            d.suffix = location.suffix();
            d.prefix = FileObject::prefixFor(d.name, d.suffix);
            d.bytes = quint64(i) * 4096 + 17;
            d.created = 1700000000.0 + i * 0.001;
            d.modified = 1700000500.0 + i * 0.003;
            d.status = FileState::Processed;
            for (Digest digest : kAllDigests)
                d.checksums.append(Checksum::make(digest, randomHex(digestSize(digest))));
            db.set(location, FileObject::fromData(d));
        }
        db.save();
    }
};

Fixture& fixture() {
    static Fixture instance;
    return instance;
}

void BM_Save100k(benchmark::State& state) {
    Fixture& f = fixture();
    Database db(f.file);
    db.load();
    for (auto _ : state)
        db.save();
    state.counters["records"] = double(db.count());
    state.counters["file_MiB"] = double(QFileInfo(f.file).size()) / (1024.0 * 1024.0);
    state.counters["peak_MiB"] = peakMiB();
}

void BM_Load100k(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        Database db(f.file);
        db.load();
        benchmark::DoNotOptimize(db.count());
    }
    state.counters["peak_MiB"] = peakMiB();
}

void BM_CsvExport100k(benchmark::State& state) {
    Fixture& f = fixture();
    Database db(f.file);
    db.load();
    qsizetype size = 0;
    for (auto _ : state) {
        const QString text = CsvExport::text(db.values());
        size = text.size();
        benchmark::DoNotOptimize(text.constData());
    }
    state.counters["csv_chars"] = double(size);
    state.counters["peak_MiB"] = peakMiB();
}

} // namespace

BENCHMARK(BM_Save100k)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Load100k)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_CsvExport100k)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Debugging::setFlagForTesting(false);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
