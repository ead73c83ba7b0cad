// Runs the built trevalinctl program against a private HOME and checks what it prints,
// its exit statuses and the data files it leaves behind.
#include "TestMain.h"
#include "engine/EngineTestSupport.h"

#include <QCryptographicHash>
#include <QDBusConnection>
#include <QDirIterator>
#include <QRegularExpression>

#include <algorithm>
#include <climits>
#include <string>

#include <sys/file.h>

using trevalin::test::asideCopies;
using trevalin::test::readAll;
using trevalin::test::writeFile;

namespace {

struct Result {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

QString programPath() {
    return QCoreApplication::applicationDirPath() + "/trevalinctl";
}

// How a run differs from a plain one.
struct Options {
    std::function<void()> inChild; // runs in the child just before the program starts
    QString standardOutputFile;
    QString program; // empty: trevalinctl
};

// A private home with a data folder of files to track.
class Home {
public:
    Home() {
        for (const char* folder : {"/.config", "/.local/share", "/files"})
            QDir().mkpath(root() + QLatin1String(folder));
    }
    QString root() const { return m_dir.path(); }
    QString data() const { return m_dir.path() + "/files"; }
    QString container() const { return root() + "/.local/share/corvane/Trevalin"; }
    QString write(const QString& name, const QByteArray& content) const {
        if (!writeFile(data() + u'/' + name, content))
            qFatal("cannot write test file");
        return data() + u'/' + name;
    }
    // The environment of a run: this home and its XDG folders.
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), root());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), root() + "/.config");
        env.insert(QStringLiteral("XDG_DATA_HOME"), root() + "/.local/share");
        env.insert(QStringLiteral("XDG_CACHE_HOME"), root() + "/.cache");
        return env;
    }
    Result run(const QStringList& args, const Options& options = {}) const {
        QProcess process;
        if (options.inChild)
            process.setChildProcessModifier(options.inChild);
        if (!options.standardOutputFile.isEmpty())
            process.setStandardOutputFile(options.standardOutputFile);
        process.setWorkingDirectory(root());
        process.setProcessEnvironment(environment());
        process.start(options.program.isEmpty() ? programPath() : options.program, args);
        if (!process.waitForFinished(120000))
            return {}; // the QProcess destructor kills it
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput(), process.readAllStandardError()};
    }

private:
    QTemporaryDir m_dir;
};

QString hex(const QByteArray& data, QCryptographicHash::Algorithm algorithm) {
    return QString::fromLatin1(QCryptographicHash::hash(data, algorithm).toHex());
}

// The digest `name` as `show` prints it, e.g. "SHA256:     0f...".
QString shownDigest(const QByteArray& out, const QString& name) {
    const QRegularExpression line("^" + name + ":\\s+([0-9a-f]+)$", QRegularExpression::MultilineOption);
    return line.match(QString::fromUtf8(out)).captured(1);
}

// The lines of `check` output before its summary, "verdict path", without the details.
QStringList verdicts(const QByteArray& out) {
    QStringList lines;
    for (const QString& line : QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts))
        if (!line.startsWith(QLatin1String("Checked")))
            lines << line.section(QStringLiteral(" ("), 0, 0).simplified();
    return lines;
}

// Gives the whole tree to the unprivileged user that dropRoot() becomes.
void giveAway(const QString& root) {
    if (::geteuid() != 0)
        return;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    ::lchown(QFile::encodeName(root).constData(), 65534, 65534);
    while (it.hasNext())
        ::lchown(QFile::encodeName(it.next()).constData(), 65534, 65534);
}

// In the child: without root, so that permission bits count.
void dropRoot() {
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
        ::_exit(99);
}
const Options kAsUser{dropRoot, {}, {}};

// In the child: a current folder that was removed.
void removedCurrentFolder() {
    if (::mkdir("gone", 0700) != 0 || ::chdir("gone") != 0 || ::rmdir("../gone") != 0)
        ::_exit(98);
}

// In the child: a current folder whose path is longer than PATH_MAX.
void deepCurrentFolder() {
    const std::string name(255, 'd');
    for (int depth = 0; depth * 256 <= PATH_MAX; ++depth) {
        if (::mkdir(name.c_str(), 0700) != 0 || ::chdir(name.c_str()) != 0)
            ::_exit(98);
    }
}

// Every entry under `root` except the tracked files' folder, with its type, size,
// modification time and content: what a command that changes nothing must leave alone.
QMap<QString, QByteArray> snapshot(const QString& root) {
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.startsWith(root + "/files"))
            continue;
        struct stat st {};
        ::lstat(QFile::encodeName(path).constData(), &st);
        const QByteArray state = QByteArray::number(st.st_mode) + ' ' +
                                 QByteArray::number(qint64(st.st_size)) + ' ' +
                                 QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.' +
                                 QByteArray::number(qint64(st.st_mtim.tv_nsec));
        entries.insert(path.mid(root.size()), S_ISREG(st.st_mode) ? state + ' ' + readAll(path) : state);
    }
    return entries;
}

} // namespace

class TrevalinctlTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(QFile::exists(programPath()), qPrintable(programPath())); }

    // Usage errors (2) and commands that fail (1), in "@" the data folder: each is one
    // line on standard error, naming the path and the cause, with nothing on standard
    // output and no data file created. A path to add that the engine would drop is
    // refused outright; a relative path is never guessed to be "/" or anything else;
    // output or settings that never arrived are failures.
    void failuresAreOneLine_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error"); // the start of the line after "trevalinctl: "
        const auto row = [](const char* name, const QStringList& args, const char* setup, int status,
                            const QString& error) {
            QTest::newRow(name) << args << QString::fromLatin1(setup) << status << error;
        };
        row("no command", {}, "", 2, "no command given (see \"trevalinctl --help\")");
        row("unknown command", {"frobnicate"}, "", 2, "unknown command \"frobnicate\"");
        row("unknown global option", {"--frob", "list"}, "", 2, "unknown option \"--frob\"");
        row("unknown command option", {"list", "--frob"}, "", 2, "Unknown option 'frob'.");
        row("show needs a path", {"show"}, "", 2, "wrong number of arguments for \"show\"");
        row("too many for list", {"list", "a", "b"}, "", 2, "wrong number of arguments for \"list\"");
        row("monitor state", {"monitor", "/tmp", "maybe"}, "", 2, "monitoring must be \"on\" or \"off\"");
        row("unknown algorithm", {"algorithms", "--enable", "SHA1,CRC32"}, "", 2,
            "unknown algorithm \"CRC32\"");
        row("bad jobs", {"check", "--jobs", "0"}, "", 2, "--jobs needs a positive number");
        row("show untracked", {"show", "/nonexistent/x"}, "", 1, "not tracked: /nonexistent/x");
        row("check untracked", {"check", "/nonexistent/x"}, "", 1, "not tracked: /nonexistent/x");
        row("monitor unknown folder", {"monitor", "/tmp", "on"}, "", 1,
            "not a folder in the folder store: /tmp");
        row("export to a missing folder", {"export", "/nonexistent/x.csv"}, "", 1,
            "cannot write /nonexistent/x.csv");
        const QString notStorable = "the content database cannot store this name";
        row("add, nothing there", {"add", "/nonexistent/x"}, "", 1,
            "cannot add /nonexistent/x: no such file or folder");
        row("add a FIFO", {"add", "@/x"}, "fifo", 1,
            "cannot add @/x: it is a FIFO, not a regular file or folder");
        row("add an unreadable file", {"add", "@/x"}, "unreadable file", 1,
            "cannot add @/x: the file cannot be read (permission denied)");
        row("add an unreadable folder", {"add", "@"}, "unreadable folder", 1,
            "cannot add @: the folder cannot be read (permission denied)");
        row("add, control character in the name", {"add", "@/a\001b"}, "control", 1,
            "cannot add @/a\\x01b: " + notStorable);
        row("add, name not valid UTF-8", {}, "invalid", 1, "cannot add @/bad\uFFFD: " + notStorable);
        const QString cwd = "cannot determine the current folder for \"";
        row("add . in a removed folder", {"add", "."}, "removed", 1, cwd + ".\": ");
        row("show a relative path, too deep", {"show", "x"}, "deep", 1, cwd + "x\": ");
        const QString output = "cannot write to standard output: ";
        row("export - to a full disk", {"export", "-"}, "full", 1, output);
        row("help to a full disk", {"--help"}, "full", 1, output);
        row("settings that cannot be written", {"algorithms", "--enable", "MD5"}, "settings", 1,
            "cannot write the settings file @/../.config/corvane/Trevalin.conf: ");
    }
    void failuresAreOneLine() {
        QFETCH(QStringList, args);
        QFETCH(QString, setup);
        QFETCH(int, status);
        QFETCH(QString, error);
        Home home;
        Options options;
        const QByteArray x = QFile::encodeName(home.data() + "/x");
        const QByteArray invalid = QFile::encodeName(home.data()) + "/bad\xff";
        if (setup == "fifo") {
            QCOMPARE(::mkfifo(x.constData(), 0600), 0);
        } else if (setup == "unreadable file") {
            home.write("x", "secret");
            QCOMPARE(::chmod(x.constData(), 0), 0);
        } else if (setup == "unreadable folder") {
            home.write("y", "inside");
            QCOMPARE(::chmod(QFile::encodeName(home.data()).constData(), 0300), 0);
        } else if (setup == "control") {
            home.write("a\001b", "x");
        } else if (setup == "invalid") {
            // Arguments pass through QString here: the shell makes the byte 0xFF.
            const int fd = ::open(invalid.constData(), O_WRONLY | O_CREAT, 0600);
            QVERIFY(fd >= 0);
            ::close(fd);
            options.program = "/bin/sh";
            args = QStringList{"-c", "exec \"$0\" add \"$1$(printf '\\377')\"", programPath(), "@/bad"};
        } else if (setup == "removed" || setup == "deep") {
            options.inChild = setup == "deep" ? deepCurrentFolder : removedCurrentFolder;
        } else if (setup == "full") {
            if (!QFile::exists("/dev/full"))
                QSKIP("no /dev/full");
            options.standardOutputFile = "/dev/full";
        } else if (setup == "settings") {
            QVERIFY(QDir().mkpath(home.root() + "/.config/corvane/Trevalin.conf")); // a folder in its place
        }
        if (setup.startsWith("unreadable")) {
            giveAway(home.root());
            options.inChild = dropRoot;
        }
        args.replaceInStrings(QStringLiteral("@"), home.data());
        error.replace(QStringLiteral("@/../"), home.root() + u'/').replace(u'@', home.data());

        const Result r = home.run(args, options);
        ::unlink(invalid.constData()); // Qt cannot name it
        if (setup == "deep")
            QProcess::execute("rm", {"-rf", home.root() + u'/' + QString(255, u'd')});
        QCOMPARE(r.status, status);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.startsWith("trevalinctl: " + error.toUtf8()), r.err.constData());
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(!QFile::exists(home.container() + "/Trevalin.database.plist"));
    }

    // add, list, folders, monitor and export against Qt's own digests: the export
    // holds every enabled digest (names taken in any case, with spaces) of every visible
    // file, rows ended by CR and quoted where needed; "export -" and "export" print the
    // same text and no log line. The entries add refuses are counted in its summary; a
    // FIFO among them is never opened (the add would not end).
    void addListExportAgainstIndependentDigests() {
        Home home;
        QByteArray big(3 * 1024 * 1024 + 17, Qt::Uninitialized); // read by several threads
        for (int i = 0; i < big.size(); ++i)
            big[i] = char((i * 131) ^ (i >> 9));
        const QMap<QString, QByteArray> contents{{home.write("alpha.txt", "alpha\n"), "alpha\n"},
                                                 {home.write("big.bin", big), big},
                                                 {home.write("comma, quote\".txt", "x"), "x"},
                                                 {home.write("tab\tis fine.txt", "tab"), "tab"},
                                                 {home.write("empty", {}), {}}};
        home.write(".hidden", "skipped");
        home.write("bell\x07.txt", "bell");
        const QByteArray latin1 = QFile::encodeName(home.data()) + "/latin1-\xe9.txt";
        const int fd = ::open(latin1.constData(), O_WRONLY | O_CREAT, 0600);
        QVERIFY(fd >= 0);
        ::close(fd);
        QCOMPARE(::mkfifo(QFile::encodeName(home.data() + "/pipe").constData(), 0600), 0);
        QCOMPARE(home.run({"algorithms", "--enable", "md5, SHA1,sha256 ,SHA384,sha512"}).status, 0);
        Result r = home.run({"add", home.data()});
        ::unlink(latin1.constData()); // Qt cannot name it
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith("Added 5 file(s), updated 0, 1 new folder(s)") && r.out.count('\n') == 1 &&
                     r.out.endsWith(
                         "; 2 skipped: name cannot be stored; 1 skipped: not a readable regular file\n"),
                 r.out.constData());
        QVERIFY(r.err.isEmpty()); // not a terminal: no progress bar

        r = home.run({"list", home.data()});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out.count('\n'), 5);
        QCOMPARE(r.out.count("Processed "), 5);
        QVERIFY(r.out.contains(QByteArray::number(big.size()) + " " + home.data().toUtf8() + "/big.bin\n"));
        QCOMPARE(home.run({"folders"}).out, "off " + home.data().toUtf8() + "\n");
        QCOMPARE(home.run({"monitor", home.data(), "on"}).status, 0);
        QCOMPARE(home.run({"folders"}).out, "on  " + home.data().toUtf8() + "\n");

        QStringList expected;
        for (auto it = contents.cbegin(); it != contents.cend(); ++it) {
            QStringList row{it.key().contains(u',') ? u'"' + QString(it.key()).replace(u'"', "\"\"") + u'"'
                                                    : it.key()};
            for (auto algorithm :
                 {QCryptographicHash::Md5, QCryptographicHash::Sha1, QCryptographicHash::Sha256,
                  QCryptographicHash::Sha384, QCryptographicHash::Sha512})
                row << hex(it.value(), algorithm);
            expected << row.join(u',');
        }
        const QString csv = home.root() + "/export.csv";
        QCOMPARE(home.run({"export", csv}).status, 0);
        const QByteArray text = readAll(csv);
        QVERIFY(!text.contains('\n'));
        QStringList rows = QString::fromUtf8(text).split(u'\r');
        QCOMPARE(rows.takeFirst(), "Path,MD5,SHA1,SHA256,SHA384,SHA512");
        QCOMPARE(rows.takeLast(), QString()); // the last row ends with CR too
        rows.sort();
        expected.sort();
        QCOMPARE(rows, expected);

        // The same text on standard output, the log lines on standard error.
        r = home.run({"--verbose", "export", "-"});
        QCOMPARE(r.out, text);
        QVERIFY2(r.err.contains("INFO"), r.err.constData());
        r = home.run({"export"});
        QCOMPARE(r.out, text);
        QVERIFY(r.err.isEmpty());
        QVERIFY(QFile::exists(home.container() + "/org.corvane.Trevalin.log"));
    }

    // The check command end to end (the verdicts themselves: tst_IntegrityCheck): a line
    // per file in the order they were added, whichever thread finished first, the summary
    // and exit status, only the changed file's record replaced and saved, --quiet.
    void checkReportsEachFileAndSavesChangedRecords() {
        Home home;
        const QString rotten = home.write("rotten.bin", QByteArray(64 * 1024, 'a'));
        const QString edited = home.write("edited.txt", "version 1\n");
        const QString gone = home.write("gone.txt", "bye\n");
        const QString fine = home.write("fine.txt", "fine\n");
        QCOMPARE(home.run({"algorithms", "--enable", "SHA256,MD5"}).status, 0);
        QCOMPARE(home.run({"add", home.data()}).status, 0);
        QVERIFY(trevalin::test::rot(rotten));
        QFile file(edited);
        QVERIFY(file.open(QIODevice::Append) && file.write("version 2\n") == 10);
        file.close();
        QVERIFY(QFile::remove(gone));

        Result r = home.run({"check"});
        QCOMPARE(r.status, 1);
        QCOMPARE(verdicts(r.out),
                 (QStringList{"changed " + edited, "ok " + fine, "missing " + gone, "corrupt " + rotten}));
        QVERIFY2(r.out.contains(("corrupt    " + rotten + " (MD5,SHA256 differs)\n").toUtf8()),
                 r.out.constData());
        QVERIFY(r.out.contains("Checked 4 file(s): 1 ok, 1 changed, 1 corrupt, 1 missing, 0 unreadable"));
        // The changed file's record now describes the new content, in the saved database.
        QCOMPARE(shownDigest(home.run({"show", edited}).out, "SHA256"),
                 hex("version 1\nversion 2\n", QCryptographicHash::Sha256));

        r = home.run({"check", "--quiet", fine, rotten, gone});
        QCOMPARE(r.status, 1);
        QCOMPARE(verdicts(r.out), (QStringList{"corrupt " + rotten, "missing " + gone})); // in argument order
    }

    void readOnlyCommandsWriteNothing_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("populated"); // data files and a log file exist before
        const QList<QStringList> commands{{"list"},        {"list", "@"}, {"show", "@/a.txt"}, {"export"},
                                          {"export", "-"}, {"folders"},   {"algorithms"}};
        for (const QStringList& args : commands) {
            for (bool populated : {false, true})
                QTest::addRow("%s%s", qPrintable(args.join(u' ')), populated ? " (populated)" : "")
                    << args << populated;
        }
        for (const char* c :
             {"add", "list", "show", "export", "folders", "monitor", "algorithms", "check", "watch"})
            QTest::addRow("%s --help", c) << QStringList{QString::fromLatin1(c), "--help"} << false;
    }
    // A command that only reads creates, rewrites and removes nothing in the home
    // folder (data folder, settings, caches); an existing log file is only appended to.
    // Help for every command prints that command's usage and does nothing else.
    void readOnlyCommandsWriteNothing() {
        QFETCH(QStringList, args);
        QFETCH(bool, populated);
        Home home;
        home.write("a.txt", "a");
        if (populated) {
            QCOMPARE(home.run({"algorithms", "--enable", "MD5"}).status, 0);
            QCOMPARE(home.run({"add", home.data()}).status, 0);
            QCOMPARE(home.run({"monitor", home.data(), "on"}).status, 0);
        }
        const bool help = args.last() == "--help";
        const int status = !populated && !help && args.first() == "show" ? 1 : 0; // show: not tracked
        args.replaceInStrings(QStringLiteral("@"), home.data());
        const QString logFile = "/.local/share/corvane/Trevalin/org.corvane.Trevalin.log";
        QMap<QString, QByteArray> before = snapshot(home.root());
        QCOMPARE(before.contains(logFile), populated);
        const QByteArray oldLog = readAll(home.root() + logFile);

        const Result r = home.run(args);
        QCOMPARE(r.status, status);
        if (help)
            QVERIFY2(r.out.startsWith(("Usage: trevalinctl " + args.first() + ' ').toUtf8()) &&
                         r.err.isEmpty(),
                     r.out.constData());

        QMap<QString, QByteArray> after = snapshot(home.root());
        if (populated) {
            const QByteArray newLog = readAll(home.root() + logFile);
            QVERIFY2(newLog.size() > oldLog.size() && newLog.startsWith(oldLog), "log file not appended to");
            after.remove(logFile);
            before.remove(logFile);
        }
        QCOMPARE(after, before);
    }

    // While another process holds the data lock, or the desktop program owns its bus
    // name, every writer is refused with 75 and one line, and readers still work. A
    // command wires nothing of the desktop program's persistence or monitoring: with a
    // monitored folder stored, add saves the content database once, itself, and no
    // background save, folder watch or clean-up of the databases starts.
    void writersRefusedWhileTheDataIsInUse() {
        Home home;
        home.write("a.txt", "a");
        QCOMPARE(home.run({"add", home.data()}).status, 0);
        const QByteArray lockPath = QFile::encodeName(home.container() + "/Trevalin.lock");
        const int fd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        QVERIFY(fd >= 0);
        QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
        const QList<QStringList> writers{{"add", home.data()},
                                         {"check"},
                                         {"monitor", home.data(), "on"},
                                         {"algorithms", "--enable", "MD5"},
                                         {"watch"}};
        for (const QStringList& args : writers) {
            const Result r = home.run(args);
            QCOMPARE(r.status, 75);
            QVERIFY(r.out.isEmpty());
            QVERIFY2(r.err.contains("in use by another Trevalin process"), r.err.constData());
            QCOMPARE(r.err.count('\n'), 1);
        }
        QCOMPARE(home.run({"list"}).status, 0);
        ::close(fd);
        QCOMPARE(home.run({"monitor", home.data(), "on"}).status, 0);
        home.write("b.txt", "b");
        Result r = home.run({"--verbose", "add", home.data()});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.err.count("Save operation; database content written to storage [ Database.save() ]"), 1);
        for (const char* tag :
             {"[ FlagStore.save() ]", "[ FolderNotifications.register() ]", "[ Cleanup.databases() ]"})
            QVERIFY2(!r.err.contains(tag), r.err.constData());

        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected() || !bus.registerService(QStringLiteral("org.corvane.Trevalin")))
            QSKIP("no session bus of the tests' own (run them under dbus-run-session)");
        r = home.run({"add", home.data()});
        const int listed = home.run({"list"}).status;
        bus.unregisterService(QStringLiteral("org.corvane.Trevalin"));
        QCOMPARE(r.status, 75);
        QVERIFY2(r.err.contains("Trevalin is running"), r.err.constData());
        QCOMPARE(listed, 0);
        QCOMPARE(home.run({"add", home.data()}).status, 0);
    }

    // watch as a real process on a monitored folder: a file created, one edited in
    // place and one deleted give one line each; SIGTERM saves and ends it with 0, and
    // list shows the three outcomes.
    void watchReportsEveryChangeAndSavesOnSigterm() {
        Home home;
        const QString edited = home.write("a.txt", "a");
        const QString deleted = home.write("b.txt", "b");
        QCOMPARE(home.run({"add", home.data()}).status, 0);
        QCOMPARE(home.run({"monitor", home.data(), "on"}).status, 0);

        QProcess watch;
        QProcessEnvironment env = home.environment();
        env.insert(QStringLiteral("TREVALIN_TEST_SETTLE_MS"), QStringLiteral("50"));
        watch.setProcessEnvironment(env);
        watch.setWorkingDirectory(home.root());
        watch.start(programPath(), {"--verbose", "watch"});
        QVERIFY(watch.waitForStarted());
        QByteArray out, err;
        const auto read = [&] {
            out += watch.readAllStandardOutput();
            err += watch.readAllStandardError();
        };
        const QByteArray registered =
            "Filesystem event notifications registered for: " + home.data().toUtf8();
        QTRY_VERIFY_WITH_TIMEOUT((read(), err.contains(registered)), 20000);

        const QString created = home.write("c.txt", "c");
        QFile file(edited);
        QVERIFY(file.open(QIODevice::Append) && file.write(" edited") == 7);
        file.close();
        QVERIFY(QFile::remove(deleted));
        QList<QByteArray> expected{"added " + created.toUtf8(), "changed " + edited.toUtf8(),
                                   "removed " + deleted.toUtf8()}; // sorted
        const auto lines = [&] {
            QList<QByteArray> list = out.split('\n');
            list.removeAll(QByteArray());
            std::sort(list.begin(), list.end());
            return list;
        };
        QTRY_VERIFY2_WITH_TIMEOUT((read(), lines() == expected), (out + err).constData(), 20000);

        watch.terminate(); // SIGTERM
        QVERIFY(watch.waitForFinished(20000));
        read();
        QCOMPARE(watch.exitStatus(), QProcess::NormalExit);
        QVERIFY2(watch.exitCode() == 0, err.constData());
        QCOMPARE(lines(), expected); // nothing more, nothing twice

        const Result list = home.run({"list"});
        QCOMPARE(list.status, 0);
        QCOMPARE(list.out.simplified(),
                 "Processed 8 " + edited.toUtf8() + " Processed 1 " + created.toUtf8());
        QCOMPARE(shownDigest(home.run({"show", edited}).out, "SHA1"),
                 hex("a edited", QCryptographicHash::Sha1)); // the default algorithm
    }

    // Without root: a tracked file the user can no longer read keeps its record, and
    // check says so. Records lost to a failed save come back when the folder is added
    // again, and files created since are picked up; the recorded file is not hashed again.
    void unreadableFilesAndFailedSavesLoseNoRecord() {
        Home home;
        const QString file = home.write("a.txt", "a");
        const QByteArray name = QFile::encodeName(file);
        giveAway(home.root());
        QCOMPARE(home.run({"add", home.data()}, kAsUser).status, 0);
        QCOMPARE(::chmod(name.constData(), 0), 0);
        Result r = home.run({"check", file}, kAsUser);
        QCOMPARE(r.status, 1);
        QCOMPARE(verdicts(r.out), QStringList{"unreadable " + file});
        QVERIFY2(home.run({"list"}, kAsUser).out.contains(name), "record lost");
        QCOMPARE(::chmod(name.constData(), 0600), 0);
        QCOMPARE(verdicts(home.run({"check", file}, kAsUser).out), QStringList{"ok " + file});

        // The save after the next add fails: the data folder is read-only.
        const QByteArray container = QFile::encodeName(home.container());
        QCOMPARE(::chmod(container.constData(), 0500), 0);
        home.write("b.txt", "b");
        r = home.run({"add", home.write("c.txt", "c")}, kAsUser);
        QCOMPARE(::chmod(container.constData(), 0700), 0);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.startsWith("trevalinctl: saving the ") &&
                     r.err.contains(" database failed: Unable to write " + container + "/Trevalin."),
                 r.err.constData());
        r = home.run({"add", home.data()}, kAsUser);
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith("Added 2 file(s), updated 0, 0 new folder(s); 2 digest(s)"),
                 r.out.constData());
        QCOMPARE(home.run({"list"}).out.count('\n'), 3);
    }

    // An unreadable data file is moved aside under a new name each time, never over an
    // earlier copy, and the command says where it went; a reader reports it and leaves
    // it where it is.
    void unreadableDataFilesAreSetAsideAndNamed_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("reader"); // a read-only command that opens the file
        QTest::newRow("content database") << "Trevalin.database.plist"
                                          << "content database"
                                          << "list";
        QTest::newRow("bookmark database") << "Trevalin.bookmarks.plist"
                                           << "bookmark database"
                                           << "";
        QTest::newRow("folder store") << "Trevalin.sqlite"
                                      << "folder store"
                                      << "folders";
    }
    void unreadableDataFilesAreSetAsideAndNamed() {
        QFETCH(QString, file);
        QFETCH(QString, what);
        QFETCH(QString, reader);
        Home home;
        home.write("a.txt", "a");
        QCOMPARE(home.run({"add", home.data()}).status, 0);
        const QString path = home.container() + u'/' + file;
        for (const QByteArray& garbage : {QByteArray("first garbage"), QByteArray("second garbage")}) {
            QVERIFY(writeFile(path, garbage));
            const Result r = home.run({"add", home.data()});
            QCOMPARE(r.status, 1);
            QVERIFY2(r.err.contains(QStringLiteral("the %1 %2 could not be read (").arg(what, path).toUtf8()),
                     r.err.constData());
            bool named = false;
            for (const QString& copy : asideCopies(path))
                named = named || (r.err.contains(("it was moved aside to " + copy).toUtf8()) &&
                                  readAll(copy) == garbage);
            QVERIFY2(named, r.err.constData());
        }
        QCOMPARE(asideCopies(path).size(), 2);
        if (reader.isEmpty())
            return;
        QVERIFY(writeFile(path, "third garbage"));
        const Result r = home.run({reader});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains("could not be read") && r.err.contains("it was left as it is"),
                 r.err.constData());
        QCOMPARE(readAll(path), QByteArray("third garbage"));
        QCOMPARE(asideCopies(path).size(), 2);
    }

    void anEmptyAlgorithmSelectionKeepsTheDefault() {
        const Result r = Home().run({"algorithms", "--enable", ""});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QByteArray("off MD5\non  SHA1\noff SHA256\noff SHA384\noff SHA512\n"));
    }
};

TREVALIN_TEST_MAIN(TrevalinctlTest)

#include "tst_Trevalinctl.moc"
