// CtlCommand: trevalinctl's commands — parsing the command line (one QCommandLineParser
// for the global options and one per command), the logging set-up, loading the data
// files, and running one command against the engine and the stores.
//
// Exit statuses: 0 success; 1 failure (or, for check, a corrupt, missing or unreadable
// file; for any command, standard output that could not be written); 2 usage error;
// 75 the data files are in use by another Trevalin process.
// Data goes to standard output; errors are one line on standard error; log lines go
// to the log file and, with --verbose, to standard error. A read-only command (list,
// show, export, folders, algorithms without --enable) creates and rewrites no file in
// the data or settings folders: it logs to the log file only when that exists.
//
// Thread-safety: created and run on the main thread, once per process.
#pragma once

#include <QCommandLineParser>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace trevalin {

class ConsoleDestination;
class DataLock;
class FileDestination;

class CtlCommand {
public:
    static constexpr int kExitOk = 0;
    static constexpr int kExitFailure = 1;
    static constexpr int kExitUsage = 2;
    static constexpr int kExitInUse = 75;

    CtlCommand();
    ~CtlCommand();

    // Parses `arguments` (program name first) and runs the command; returns the exit
    // status. Needs a QCoreApplication with organisation "corvane" and application
    // "Trevalin" (the data folder is derived from them).
    int run(const QStringList& arguments);

private:
    struct Spec;
    // What a command handler gets: the positional arguments (their count checked against
    // the command's Spec entry), the parsed command line, and --jobs for check (the core
    // count otherwise).
    struct Invocation {
        const QStringList& args;
        const QCommandLineParser& parser;
        int jobs;
    };
    using Handler = std::function<int(CtlCommand&, const Invocation&)>;

    static const QList<Spec>& specs();
    static const Spec* find(const QString& name);
    // The handler of every command in specs(), by name; each returns the exit status.
    static const QHash<QString, Handler>& handlers();
    static QString mainHelp();

    // run() without the final check of standard output.
    int runCommand(const QStringList& arguments);
    int usage(const QString& message, const QString& command = {});
    int fail(const QString& message, int status = kExitFailure);
    // Console destination (standard error) when verbose; the log file always for a
    // command that `writes`, otherwise only when the file exists already.
    void installLogging(bool verbose, bool writes);
    bool lockForWriting(int* status);
    // Says on standard error that a data file could not be read and where it went.
    void reportSetAside(const QString& what, const QString& file, const QString& detail,
                        const QString& movedTo);
    void loadContent();
    void loadBookmarks();
    bool saveAll(QString* error);

    int runAdd(const QStringList& paths, bool showProgress);
    int runList(const QStringList& args);
    int runShow(const QString& path);
    int runExport(const QStringList& args);
    int runFolders();
    int runMonitor(const QString& folder, const QString& state);
    int runAlgorithms(const QCommandLineParser& parser);
    int runCheck(const QStringList& paths, bool quiet, int jobs);
    int runWatch(); // in WatchCommand.cpp

    std::shared_ptr<ConsoleDestination> m_console;
    std::shared_ptr<FileDestination> m_file;
    std::unique_ptr<DataLock> m_lock;
    bool m_verbose = false;
    bool m_dataSetAside = false; // a data file was found unreadable and set aside
    bool m_writes = false;       // the command may change the data files
};

} // namespace trevalin
