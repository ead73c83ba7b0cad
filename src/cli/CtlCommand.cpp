#include "cli/CtlCommand.h"

#include "engine/DataLock.h"
#include "cli/PathCheck.h"
#include "cli/ProgressBar.h"
#include "engine/ApplicationState.h"
#include "engine/Engine.h"
#include "engine/EnginePool.h"
#include "engine/Global.h"
#include "engine/IntegrityCheck.h"
#include "engine/Process.h"
#include "engine/Progress.h"
#include "engine/ThreadSafeCounters.h"
#include "logging/ConsoleDestination.h"
#include "logging/FileDestination.h"
#include "logging/Log.h"
#include "logging/Logger.h"
#include "model/DigestState.h"
#include "model/FileObject.h"
#include "model/FileSystemError.h"
#include "model/Location.h"
#include "store/AppSettings.h"
#include "store/BookmarkDatabase.h"
#include "store/BookmarkError.h"
#include "store/ByteCount.h"
#include "store/CoreDataStack.h"
#include "store/CoreDatabase.h"
#include "store/CsvExport.h"
#include "store/Database.h"
#include "store/DatabaseError.h"
#include "store/ExportFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QThread>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>

namespace trevalin {

namespace {

// The first error met writing standard output (an errno value); 0 while there is none.
int stdoutError = 0;

void noteStdoutError() {
    if (stdoutError == 0)
        stdoutError = errno != 0 ? errno : EIO;
}

void writeOut(const QByteArray& bytes) {
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout) != std::size_t(bytes.size()))
        noteStdoutError();
}

// Flushes standard output; false once anything written to it was lost.
bool flushOut() {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        noteStdoutError();
    return stdoutError == 0;
}

void printOut(const QString& line) {
    writeOut(line.toLocal8Bit() + '\n');
}

void printErr(const QString& line) {
    flushOut();
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

QString dateText(double seconds) {
    if (seconds == 0)
        return QStringLiteral("-");
    return QDateTime::fromMSecsSinceEpoch(qint64(seconds * 1000.0), Qt::UTC).toString(Qt::ISODateWithMs);
}

const QCommandLineOption kVerbose(QStringLiteral("verbose"),
                                  QStringLiteral("Also write log lines to standard error."));

} // namespace

// One command: its name, argument syntax, text, options and argument counts.
struct CtlCommand::Spec {
    QString name;
    QString syntax;      // e.g. "PATH..."
    QString summary;     // one line for the command list
    QString description; // the command's help text
    QList<QCommandLineOption> options;
    int minArgs = 0;
    int maxArgs = 0; // -1: any number
};

const QList<CtlCommand::Spec>& CtlCommand::specs() {
    static const QList<Spec> all = [] {
        QList<Spec> s;
        s.append(
            {QStringLiteral("add"),
             QStringLiteral("PATH..."),
             QStringLiteral("Track files and folders: hash them and save the records."),
             QStringLiteral("Adds files and folders (the files directly inside a folder) as the desktop "
                            "program does: intake, triage and hashing with the enabled algorithms, then "
                            "saves the content database, the bookmarks and the folder store and prints a "
                            "summary. Shows a progress bar on standard error when it is a terminal."),
             {QCommandLineOption(QStringLiteral("no-progress"),
                                 QStringLiteral("Never show the progress bar."))},
             1,
             -1});
        s.append({QStringLiteral("list"),
                  QStringLiteral("[FOLDER]"),
                  QStringLiteral("List the records (status, size in bytes, path)."),
                  QStringLiteral("Lists every record, or those directly inside FOLDER: status, size in bytes "
                                 "and path, one per line."),
                  {},
                  0,
                  1});
        s.append({QStringLiteral("show"),
                  QStringLiteral("PATH"),
                  QStringLiteral("Show one record with its digests."),
                  QStringLiteral("Shows the record of one tracked file with its metadata and digests."),
                  {},
                  1,
                  1});
        s.append(
            {QStringLiteral("export"),
             QStringLiteral("[FILE|-]"),
             QStringLiteral("Write the CSV export (to standard output by default)."),
             QStringLiteral("Writes the CSV export of the content database to FILE or, with - or no "
                            "argument, to standard output. A regular FILE is replaced atomically; a symbolic "
                            "link is followed to its target and stays a link; a FIFO or device is written "
                            "into, never replaced."),
             {},
             0,
             1});
        s.append({QStringLiteral("folders"),
                  QString(),
                  QStringLiteral("List the folder store with monitoring state."),
                  QStringLiteral(
                      "Lists the folders of the folder store: \"on\" or \"off\" (monitoring) and path."),
                  {},
                  0,
                  0});
        s.append({QStringLiteral("monitor"),
                  QStringLiteral("FOLDER on|off"),
                  QStringLiteral("Switch monitoring of a stored folder."),
                  QStringLiteral("Switches monitoring of a folder in the folder store on or off. The desktop "
                                 "program watches monitored folders from its next start."),
                  {},
                  2,
                  2});
        s.append({QStringLiteral("algorithms"),
                  QString(),
                  QStringLiteral("Show or set the enabled algorithms."),
                  QStringLiteral("Shows the algorithm selection, or sets it with --enable. At least one "
                                 "algorithm stays enabled: when the list names none, SHA1 is enabled."),
                  {QCommandLineOption(QStringLiteral("enable"),
                                      QStringLiteral("Enable exactly these algorithms (comma-separated: "
                                                     "MD5,SHA1,SHA256,SHA384,SHA512)."),
                                      QStringLiteral("LIST"))},
                  0,
                  0});
        s.append(
            {QStringLiteral("check"),
             QStringLiteral("[PATH...]"),
             QStringLiteral("Re-read tracked files and detect bit rot."),
             QStringLiteral("Re-reads the tracked files (all, or the given files and folders) and reports "
                            "each as ok; changed (metadata changed: hashed again and its record updated); "
                            "corrupt (metadata unchanged but a digest differs: the record is kept); missing; "
                            "or unreadable. Exit status 0 when every file is ok or changed, 1 otherwise."),
             {QCommandLineOption(QStringLiteral("quiet"),
                                 QStringLiteral("Print only files that are not ok.")),
              QCommandLineOption(QStringLiteral("jobs"),
                                 QStringLiteral("Files read at a time (default: cores)."),
                                 QStringLiteral("N"))},
             0,
             -1});
        s.append({QStringLiteral("watch"),
                  QString(),
                  QStringLiteral("Monitor the monitored folders in the foreground."),
                  QStringLiteral("Runs the monitoring of every monitored folder as the desktop program does, "
                                 "until SIGINT or SIGTERM: files added, changed or removed are hashed or "
                                 "dropped, and the data files saved after each burst of work. Prints "
                                 "\"added PATH\", \"changed PATH\" or \"removed PATH\" once per file."),
                  {},
                  0,
                  0});
        return s;
    }();
    return all;
}

const QHash<QString, CtlCommand::Handler>& CtlCommand::handlers() {
    static const QHash<QString, Handler> all{
        {QStringLiteral("add"),
         [](CtlCommand& c, const Invocation& in) {
             return c.runAdd(in.args, !in.parser.isSet(QStringLiteral("no-progress")) && !c.m_verbose &&
                                          ProgressBar::stderrIsTerminal());
         }},
        {QStringLiteral("list"), [](CtlCommand& c, const Invocation& in) { return c.runList(in.args); }},
        {QStringLiteral("show"), [](CtlCommand& c, const Invocation& in) { return c.runShow(in.args[0]); }},
        {QStringLiteral("export"), [](CtlCommand& c, const Invocation& in) { return c.runExport(in.args); }},
        {QStringLiteral("folders"), [](CtlCommand& c, const Invocation&) { return c.runFolders(); }},
        {QStringLiteral("monitor"),
         [](CtlCommand& c, const Invocation& in) { return c.runMonitor(in.args[0], in.args[1]); }},
        {QStringLiteral("algorithms"),
         [](CtlCommand& c, const Invocation& in) { return c.runAlgorithms(in.parser); }},
        {QStringLiteral("check"),
         [](CtlCommand& c, const Invocation& in) {
             return c.runCheck(in.args, in.parser.isSet(QStringLiteral("quiet")), in.jobs);
         }},
        {QStringLiteral("watch"), [](CtlCommand& c, const Invocation&) { return c.runWatch(); }},
    };
    return all;
}

const CtlCommand::Spec* CtlCommand::find(const QString& name) {
    for (const Spec& spec : specs()) {
        if (spec.name == name)
            return &spec;
    }
    return nullptr;
}

QString CtlCommand::mainHelp() {
    QString text = QStringLiteral("Usage: trevalinctl [--verbose] COMMAND [options] [arguments]\n\n"
                                  "Drives the Trevalin engine on the desktop program's data files.\n\n"
                                  "Commands:\n");
    for (const Spec& spec : specs()) {
        const QString head = spec.name + (spec.syntax.isEmpty() ? QString() : u' ' + spec.syntax);
        text += QStringLiteral("  %1 %2\n").arg(head, -26).arg(spec.summary);
    }
    text +=
        QStringLiteral("\nGlobal options:\n"
                       "  -h, --help     This help; \"trevalinctl COMMAND --help\" describes a command.\n"
                       "  --verbose      Also write log lines to standard error.\n"
                       "  --version      The version.\n\n"
                       "Exit status: 0 success, 1 failure (check: a file corrupt, missing or unreadable),\n"
                       "2 usage error, 75 the data files are in use by another Trevalin process.\n");
    return text;
}

CtlCommand::CtlCommand() = default;

CtlCommand::~CtlCommand() = default;

int CtlCommand::usage(const QString& message, const QString& command) {
    printErr(QStringLiteral("trevalinctl: ") + message + QStringLiteral(" (see \"trevalinctl ") +
             (command.isEmpty() ? QString() : command + u' ') + QStringLiteral("--help\")"));
    return kExitUsage;
}

int CtlCommand::fail(const QString& message, int status) {
    printErr(QStringLiteral("trevalinctl: ") + message);
    return status;
}

void CtlCommand::installLogging(bool verbose, bool writes) {
    // Only the console and file destinations, each set up here with the program's
    // line format. The desktop program's log set-up also creates the upload
    // destination, whose record of program starts is rewritten by every run; that
    // record means nothing for this program, which never uploads.
    const QString format = QString::fromLatin1(Log::logFormat);
    if (verbose) {
        m_console = std::make_shared<ConsoleDestination>();
        m_console->setFormat(format);
        m_console->setUseNSLog(true); // console lines to standard error
        Logger::addDestination(m_console);
    }
    // A command that changes nothing creates nothing either: it appends to the log
    // file only when that already exists.
    const QString path = Log::logFilePath();
    if (writes)
        QDir().mkpath(QFileInfo(path).absolutePath());
    else if (!QFileInfo(path).isFile())
        return;
    m_file = std::make_shared<FileDestination>(path);
    m_file->setFormat(format);
    Logger::addDestination(m_file);
}

bool CtlCommand::lockForWriting(int* status) {
    m_lock = std::make_unique<DataLock>();
    QString reason;
    if (m_lock->acquire(&reason))
        return true;
    TLOG_WARNING(QStringLiteral("trevalinctl refused to write: ") + reason);
    *status = fail(reason, kExitInUse);
    return false;
}

void CtlCommand::reportSetAside(const QString& what, const QString& file, const QString& detail,
                                const QString& movedTo) {
    m_dataSetAside = true;
    printErr(QStringLiteral("trevalinctl: the %1 %2 could not be read (%3); ").arg(what, file, detail) +
             (!movedTo.isEmpty() ? QStringLiteral("it was moved aside to ") + movedTo
              : m_writes         ? QStringLiteral("it could not be moved aside either")
                         : QStringLiteral("it was left as it is (the next writing command sets it aside)")));
}

void CtlCommand::loadContent() {
    Database& database = Database::shared();
    try {
        database.load(m_writes);
    } catch (const FileSystemException&) {
        // No file yet: an empty database.
    } catch (const DatabaseException& error) {
        reportSetAside(QStringLiteral("content database"), database.file(), error.detail(), error.movedTo());
    }
}

void CtlCommand::loadBookmarks() {
    BookmarkDatabase& bookmarks = BookmarkDatabase::shared();
    try {
        bookmarks.load(m_writes);
    } catch (const FileSystemException&) {
    } catch (const BookmarkException& error) {
        reportSetAside(QStringLiteral("bookmark database"), bookmarks.file(), error.detail(),
                       error.movedTo());
    }
    bookmarks.sandboxValidate(bookmarks.db());
}

bool CtlCommand::saveAll(QString* error) {
    EnginePool::waitForDone(); // flags and folder commits are set by pool tasks
    try {
        BookmarkDatabase::shared().save();
    } catch (const BookmarkException& e) {
        *error = QStringLiteral("saving the bookmark database failed: ") + e.detail();
        return false;
    }
    try {
        Database::shared().save();
    } catch (const DatabaseException& e) {
        *error = QStringLiteral("saving the content database failed: ") + e.detail();
        return false;
    }
    QString storeError;
    if (!CoreDataStack::shared().save(&storeError)) {
        *error = QStringLiteral("saving the folder store failed: ") + storeError;
        return false;
    }
    EnginePool::waitForDone();
    return true;
}

int CtlCommand::run(const QStringList& arguments) {
    int status = runCommand(arguments);
    // Output that never arrived (a full disk, a closed pipe) is a failure too.
    if (!flushOut()) {
        printErr(QStringLiteral("trevalinctl: cannot write to standard output: ") +
                 QString::fromLocal8Bit(std::strerror(stdoutError)));
        if (status == kExitOk)
            status = kExitFailure;
    }
    return status;
}

int CtlCommand::runCommand(const QStringList& arguments) {
    int index = 1;
    bool verbose = false;
    for (; index < arguments.size(); ++index) {
        const QString& arg = arguments[index];
        if (!arg.startsWith(u'-'))
            break;
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            writeOut(mainHelp().toLocal8Bit());
            return kExitOk;
        }
        if (arg == QLatin1String("--version")) {
            printOut(QStringLiteral("trevalinctl ") + QStringLiteral(TREVALIN_VERSION));
            return kExitOk;
        }
        if (arg == QLatin1String("--verbose")) {
            verbose = true;
            continue;
        }
        return usage(QStringLiteral("unknown option \"%1\"").arg(arg));
    }
    if (index >= arguments.size())
        return usage(QStringLiteral("no command given"));
    const QString name = arguments[index];
    const Spec* spec = find(name);
    if (!spec)
        return usage(QStringLiteral("unknown command \"%1\"").arg(name));

    QCommandLineParser parser;
    parser.setApplicationDescription(spec->description);
    const QCommandLineOption help = parser.addHelpOption();
    parser.addOption(kVerbose);
    for (const QCommandLineOption& option : spec->options)
        parser.addOption(option);
    if (!spec->syntax.isEmpty())
        parser.addPositionalArgument(QStringLiteral("arguments"), QStringLiteral("See above."), spec->syntax);
    if (!parser.parse(QStringList{arguments.front()} + arguments.mid(index + 1)))
        return usage(parser.errorText(), name);
    if (parser.isSet(help)) {
        QString text = parser.helpText();
        text.replace(QRegularExpression(QStringLiteral("^Usage: \\S+")),
                     QStringLiteral("Usage: trevalinctl ") + name);
        text.replace(QRegularExpression(QStringLiteral("^(Usage: [^\n]*\n)")), QStringLiteral("\\1\n"));
        text.remove(QRegularExpression(QStringLiteral("\nArguments:\n.*$"),
                                       QRegularExpression::DotMatchesEverythingOption));
        writeOut(text.toLocal8Bit());
        return kExitOk;
    }
    const QStringList args = parser.positionalArguments();
    if (args.size() < spec->minArgs || (spec->maxArgs >= 0 && args.size() > spec->maxArgs))
        return usage(QStringLiteral("wrong number of arguments for \"%1\": expected %2")
                         .arg(name, spec->syntax.isEmpty() ? QStringLiteral("none") : spec->syntax),
                     name);
    if (name == QLatin1String("monitor") && args[1] != QLatin1String("on") && args[1] != QLatin1String("off"))
        return usage(QStringLiteral("monitoring must be \"on\" or \"off\", not \"%1\"").arg(args[1]), name);
    int jobs = QThread::idealThreadCount();
    if (name == QLatin1String("check") && parser.isSet(QStringLiteral("jobs"))) {
        bool ok = false;
        jobs = parser.value(QStringLiteral("jobs")).toInt(&ok);
        if (!ok || jobs < 1)
            return usage(QStringLiteral("--jobs needs a positive number"), name);
    }
    if (name == QLatin1String("algorithms") && parser.isSet(QStringLiteral("enable"))) {
        for (const QString& part : parser.value(QStringLiteral("enable")).split(u',', Qt::SkipEmptyParts)) {
            if (!digestFromString(part.trimmed().toUpper()))
                return usage(QStringLiteral("unknown algorithm \"%1\"").arg(part.trimmed()), name);
        }
    }

    // Arguments that name tracked files or folders become absolute locations; a relative
    // one needs the current folder, and a guess (such as "/") would act on the wrong path.
    const qsizetype locationArgs = name == QLatin1String("monitor")  ? 1
                                   : name == QLatin1String("export") ? 0
                                                                     : args.size();
    for (qsizetype i = 0; i < locationArgs; ++i) {
        QString error;
        if (!PathCheck::locate(args[i], &error))
            return fail(error);
    }

    m_verbose = verbose || parser.isSet(kVerbose);
    const bool writes = name == QLatin1String("add") || name == QLatin1String("monitor") ||
                        name == QLatin1String("check") || name == QLatin1String("watch") ||
                        (name == QLatin1String("algorithms") && parser.isSet(QStringLiteral("enable")));
    m_writes = writes;
    // A reader changes nothing in the data folder, not even an unreadable file's place.
    CoreDataStack::shared().setReadOnly(!writes);
    installLogging(m_verbose, writes);
    TLOG_INFO(QStringLiteral("trevalinctl ") + arguments.mid(index).join(u' '));
    // The engine with nothing wired that a one-shot command must not start: without
    // persistence, a command saves what it changed itself before it exits, and no
    // database clean-up starts when both databases are loaded; without monitoring,
    // nothing is watched. The commands that hash load the algorithm selection once
    // they hold the data lock (loading stores the defaults when none are stored), and
    // each command loads the databases it needs, read-only when it only reads.
    Engine::start({});

    const Handler handler = handlers().value(name);
    int status = handler ? handler(*this, Invocation{args, parser, jobs}) : kExitFailure;

    // A folder store found unreadable while the command ran was set aside and replaced.
    if (const QString aside = CoreDataStack::shared().movedAside(); !aside.isEmpty())
        reportSetAside(QStringLiteral("folder store"), CoreDataStack::shared().storePath(),
                       CoreDataStack::shared().openFailure(), aside);
    // Whatever the command did, data that was set aside makes it a failure to look at.
    if (status == kExitOk && m_dataSetAside)
        status = kExitFailure;

    flushOut();
    EnginePool::waitForDone();
    Logger::flush(5.0);
    return status;
}

// --- add -------------------------------------------------------------------------

int CtlCommand::runAdd(const QStringList& paths, bool showProgress) {
    // Every named path is checked first: intake would drop one it cannot take with no
    // more than a log line.
    QList<Location> locations;
    for (const QString& path : paths) {
        const Location location(path);
        if (const std::optional<QString> refusal = PathCheck::addRefusal(location))
            return fail(QStringLiteral("cannot add %1: %2").arg(PathCheck::printable(location), *refusal));
        locations.append(location);
    }
    int status = kExitFailure;
    if (!lockForWriting(&status))
        return status;

    Engine::loadAlgorithms();
    loadContent();
    loadBookmarks();
    Global& global = Global::shared();
    if (global.status() != ApplicationState::Idle)
        global.set(ApplicationState::Idle); // no splash screen here: ready for work

    Database& database = Database::shared();
    QHash<Location, QUuid> before;
    for (const FileObjectPtr& record : database.values())
        before.insert(record->location(), record->identifier());
    const qint64 processedBefore = Progress::shared().processed();
    const ThreadSafeCounters& counters = ThreadSafeCounters::shared();
    const qint64 unstorableBefore = counters.unstorable->count();
    const qint64 unresolvedBefore = counters.unresolved->count();
    const int foldersBefore = CoreDatabase::allFolders().size();

    QElapsedTimer clock;
    clock.start();
    ProgressBar bar(Progress::shared(), DigestState::shared().enabledCount());
    if (showProgress)
        bar.start();
    QFutureWatcher<void> watcher;
    QObject::connect(&watcher, &QFutureWatcher<void>::finished, QCoreApplication::instance(),
                     &QCoreApplication::quit);
    watcher.setFuture(Process::added(locations));
    QCoreApplication::exec();
    bar.finish();
    const double seconds = clock.elapsed() / 1000.0;

    QString error;
    if (!saveAll(&error))
        return fail(error);

    int added = 0, updated = 0, failed = 0;
    double bytes = 0;
    for (const FileObjectPtr& record : database.values()) {
        const auto it = before.constFind(record->location());
        if (it != before.constEnd() && it.value() == record->identifier())
            continue; // untouched
        (it == before.constEnd() ? added : updated)++;
        bytes += double(record->bytes());
        if (record->status() != FileState::Processed)
            ++failed;
    }
    const qint64 digests = Progress::shared().processed() - processedBefore;
    // Entries of the added folders that triage refused.
    const qint64 unstorable = counters.unstorable->count() - unstorableBefore;
    const qint64 unresolved = counters.unresolved->count() - unresolvedBefore;
    QString skipped;
    if (unstorable > 0)
        skipped += QStringLiteral("; %1 skipped: name cannot be stored").arg(unstorable);
    if (unresolved > 0)
        skipped += QStringLiteral("; %1 skipped: not a readable regular file").arg(unresolved);
    const int folders = CoreDatabase::allFolders().size() - foldersBefore;
    const double rate = seconds > 0 ? bytes / seconds : 0;
    printOut(QStringLiteral(
                 "Added %1 file(s), updated %2, %3 new folder(s); %4 digest(s) of %5 in %6 s (%7/s)%8%9")
                 .arg(added)
                 .arg(updated)
                 .arg(folders)
                 .arg(digests)
                 .arg(byteCountString(bytes))
                 .arg(QString::number(seconds, 'f', 2))
                 .arg(byteCountString(std::round(rate)))
                 .arg(failed ? QStringLiteral("; %1 file(s) could not be read").arg(failed) : QString())
                 .arg(skipped));
    return failed ? kExitFailure : kExitOk;
}

// --- read-only commands --------------------------------------------------------------

int CtlCommand::runList(const QStringList& args) {
    loadContent();
    QList<FileObjectPtr> records;
    try {
        records = args.isEmpty() ? Database::shared().files() : Database::shared().files(Location(args[0]));
    } catch (const std::exception&) {
        return fail(QStringLiteral("not a folder: ") + args[0]);
    }
    QByteArray out;
    for (const FileObjectPtr& record : records) {
        out += QStringLiteral("%1 %2 %3\n")
                   .arg(toString(record->status()), -10)
                   .arg(record->bytes(), 14)
                   .arg(record->path())
                   .toLocal8Bit();
    }
    writeOut(out);
    return kExitOk;
}

int CtlCommand::runShow(const QString& path) {
    loadContent();
    const Location location(path);
    const FileObjectPtr record = Database::shared().record(location);
    if (!record)
        return fail(QStringLiteral("not tracked: ") + location.path());
    const FileObjectData d = record->snapshot();
    printOut(QStringLiteral("Path:       ") + d.path);
    printOut(QStringLiteral("Status:     ") + toString(d.status));
    printOut(QStringLiteral("Size:       %1 bytes (%2)").arg(d.bytes).arg(byteCountString(double(d.bytes))));
    printOut(QStringLiteral("Created:    ") + dateText(d.created));
    printOut(QStringLiteral("Modified:   ") + dateText(d.modified));
    printOut(QStringLiteral("Identifier: ") + d.identifier.toString(QUuid::WithoutBraces));
    for (Digest algorithm : kAllDigests) {
        for (const Checksum& checksum : d.checksums) {
            if (checksum.algorithm == algorithm)
                printOut(QStringLiteral("%1 %2").arg(toString(algorithm) + u':', -11).arg(checksum.value));
        }
    }
    return kExitOk;
}

int CtlCommand::runExport(const QStringList& args) {
    loadContent();
    const QByteArray text = CsvExport::text(Database::shared().values()).toUtf8();
    if (args.isEmpty() || args[0] == QLatin1String("-")) {
        writeOut(text);
        return kExitOk;
    }
    try {
        ExportFile::write(args[0], text);
    } catch (const ExportFileError& error) {
        TLOG_ERROR(QStringLiteral("Unable to export database file to location: ") +
                   Location(error.path()).urlText());
        return fail(QStringLiteral("cannot write %1: %2").arg(error.path(), error.cause()));
    }
    TLOG_INFO(QStringLiteral("CSV export written to ") + QFileInfo(args[0]).absoluteFilePath());
    return kExitOk;
}

int CtlCommand::runFolders() {
    // Opening the folder store creates it; without a file there is nothing to list.
    if (!QFileInfo::exists(CoreDataStack::defaultStorePath()))
        return kExitOk;
    CoreDataStack& store = CoreDataStack::shared();
    if (!store.hasStore()) {
        reportSetAside(QStringLiteral("folder store"), store.storePath(), store.openFailure(), {});
        return kExitFailure;
    }
    for (const Folder& folder : store.folders())
        printOut(QStringLiteral("%1 %2")
                     .arg(folder.monitored ? QStringLiteral("on") : QStringLiteral("off"), -3)
                     .arg(folder.path));
    return kExitOk;
}

// --- writing commands ------------------------------------------------------------------

int CtlCommand::runMonitor(const QString& folder, const QString& state) {
    int status = kExitFailure;
    if (!lockForWriting(&status))
        return status;
    const Location location(folder);
    const bool on = state == QLatin1String("on");
    if (!CoreDatabase::setMonitored(location, on))
        return fail(QStringLiteral("not a folder in the folder store: ") + location.path());
    QString error;
    if (!CoreDataStack::shared().save(&error))
        return fail(QStringLiteral("saving the folder store failed: ") + error);
    printOut(QStringLiteral("%1 %2")
                 .arg(on ? QStringLiteral("on") : QStringLiteral("off"), -3)
                 .arg(location.path()));
    return kExitOk;
}

int CtlCommand::runAlgorithms(const QCommandLineParser& parser) {
    QList<Digests> list;
    if (parser.isSet(QStringLiteral("enable"))) {
        int status = kExitFailure;
        if (!lockForWriting(&status))
            return status;
        QSet<Digest> wanted;
        for (const QString& part : parser.value(QStringLiteral("enable")).split(u',', Qt::SkipEmptyParts))
            wanted.insert(*digestFromString(part.trimmed().toUpper())); // validated while parsing
        if (wanted.isEmpty())
            wanted.insert(Digest::SHA1); // one algorithm always stays enabled
        list = DigestState::defaultList();
        for (Digests& entry : list)
            entry.enabled = wanted.contains(entry.digest);
        const QSettings::Status saved = AppSettings::saveAlgorithmStatus(list);
        if (saved != QSettings::NoError) {
            const QString file = AppSettings::standardFilePath();
            TLOG_ERROR(QStringLiteral("Unable to save the algorithm selection to ") + file);
            return fail(QStringLiteral("cannot write the settings file %1: %2")
                            .arg(file, saved == QSettings::AccessError
                                           ? QStringLiteral("it cannot be created or replaced")
                                           : QStringLiteral("the settings could not be encoded")));
        }
        DigestState::shared().setAlgorithms(list);
    } else {
        // Read without the start-up load, which would store the default selection.
        const std::optional<QList<Digests>> stored =
            DigestState::decode(AppSettings::shared().algorithmsData());
        list = stored ? *stored : DigestState::defaultList();
    }
    for (const Digests& entry : list)
        printOut(QStringLiteral("%1 %2")
                     .arg(entry.enabled ? QStringLiteral("on") : QStringLiteral("off"), -3)
                     .arg(entry.name));
    return kExitOk;
}

int CtlCommand::runCheck(const QStringList& paths, bool quiet, int jobs) {
    int status = kExitFailure;
    if (!lockForWriting(&status))
        return status;
    Engine::loadAlgorithms();
    loadContent();
    Database& database = Database::shared();

    QList<FileObjectPtr> targets;
    if (paths.isEmpty()) {
        targets = database.values();
    } else {
        QSet<const FileObject*> seen;
        for (const QString& path : paths) {
            const Location location(path);
            QList<FileObjectPtr> found;
            if (const FileObjectPtr record = database.record(location)) {
                found.append(record);
            } else {
                try {
                    found = database.files(location);
                } catch (const std::exception&) {
                }
            }
            if (found.isEmpty())
                return fail(QStringLiteral("not tracked: ") + location.path());
            for (const FileObjectPtr& record : found) {
                if (!seen.contains(record.get())) {
                    seen.insert(record.get());
                    targets.append(record);
                }
            }
        }
    }

    const QList<Digest> enabled = DigestState::shared().enabledDigests();
    int counts[5] = {0, 0, 0, 0, 0};
    IntegrityCheck::run(targets, enabled, database, jobs, [&](const IntegrityCheck::Result& result) {
        ++counts[int(result.verdict)];
        if (quiet && result.verdict == IntegrityCheck::Verdict::Ok)
            return;
        QString line = QStringLiteral("%1 %2")
                           .arg(IntegrityCheck::verdictText(result.verdict), -10)
                           .arg(result.record->path());
        if (!result.differs.isEmpty()) {
            QStringList names;
            for (Digest d : result.differs)
                names.append(toString(d));
            line += QStringLiteral(" (%1 differs)").arg(names.join(u','));
        }
        printOut(line);
        flushOut();
    });
    using V = IntegrityCheck::Verdict;
    if (counts[int(V::Changed)] > 0) {
        QString error;
        if (!saveAll(&error))
            return fail(error);
    }
    printOut(QStringLiteral("Checked %1 file(s): %2 ok, %3 changed, %4 corrupt, %5 missing, %6 unreadable")
                 .arg(targets.size())
                 .arg(counts[int(V::Ok)])
                 .arg(counts[int(V::Changed)])
                 .arg(counts[int(V::Corrupt)])
                 .arg(counts[int(V::Missing)])
                 .arg(counts[int(V::Unreadable)]));
    TLOG_INFO(QStringLiteral("Check finished: %1 ok, %2 changed, %3 corrupt, %4 missing, %5 unreadable")
                  .arg(counts[int(V::Ok)])
                  .arg(counts[int(V::Changed)])
                  .arg(counts[int(V::Corrupt)])
                  .arg(counts[int(V::Missing)])
                  .arg(counts[int(V::Unreadable)]));
    const bool bad = counts[int(V::Corrupt)] + counts[int(V::Missing)] + counts[int(V::Unreadable)] > 0;
    return bad ? kExitFailure : kExitOk;
}

} // namespace trevalin
