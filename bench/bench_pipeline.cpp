// bench_pipeline: the whole engine road for the given files and folders — intake,
// triage, queue processing and the save that ends a run — in a fresh temporary HOME,
// for timing against other tools from the command line (peers.sh 'label=command').
//
//   bench_pipeline [--md5] [--sha1] [--sha256] [--sha384] [--sha512] [-v] PATH...
//
// Without an algorithm flag all five are enabled. Several paths go through the list
// intake, one path through the single intake. -v prints the phase times, the number of
// records and their digest count to standard error. Exit status 1 when a record lacks
// a digest or the database file was not written.
#include "BenchArgs.h"
#include "RunSupport.h"
#include "engine/Engine.h"
#include "engine/EnginePool.h"
#include "engine/Global.h"
#include "engine/Process.h"
#include "model/DigestState.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

using namespace trevalin;

int main(int argc, char** argv) {
    QList<Digest> algorithms;
    QList<Location> locations;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (takeDigestFlag(arg, algorithms))
            continue;
        if (std::strcmp(arg, "-v") == 0)
            verbose = true;
        else
            locations.append(Location(QString::fromLocal8Bit(arg)));
    }
    if (locations.isEmpty()) {
        std::fprintf(stderr, "usage: %s [--md5] [--sha1] [--sha256] [--sha384] [--sha512] [-v] PATH...\n",
                     argv[0]);
        return 2;
    }
    if (algorithms.isEmpty())
        algorithms = allDigests();

    // A fresh home, so the databases and the folder store start empty.
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    bench::isolateHome(home);

    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("corvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Trevalin"));

    Engine::start({.persistence = true, .flags = true});
    QList<Digests> selection;
    for (Digest digest : kAllDigests)
        selection.append(Digests::make(digest, algorithms.contains(digest)));
    DigestState::shared().setAlgorithms(selection);
    Global& global = Global::shared();
    if (global.status() != ApplicationState::Idle)
        global.set(ApplicationState::Idle);

    QElapsedTimer timer;
    timer.start();
    QFuture<void> intake =
        locations.size() == 1 ? Process::added(locations.front()) : Process::added(locations);
    intake.waitForFinished();
    const qint64 processed = timer.elapsed();
    EnginePool::waitForDone(); // the save the end of the run scheduled
    const qint64 saved = timer.elapsed();

    Database& database = Database::shared();
    const QList<FileObjectPtr> records = database.values();
    int complete = 0;
    for (const FileObjectPtr& record : records)
        complete += record->checksums().size() == algorithms.size() ? 1 : 0;
    const bool written = QFileInfo(database.file()).size() > 0;
    if (verbose)
        std::fprintf(
            stderr,
            "records %lld, complete %d, database file %s; intake to idle %lld ms, with save %lld ms\n",
            static_cast<long long>(records.size()), complete, written ? "written" : "MISSING",
            static_cast<long long>(processed), static_cast<long long>(saved));
    return complete == records.size() && written ? 0 : 1;
}
