// Runs the built trevalinctl program against a private HOME and checks what it prints,
// its exit statuses and the data files it leaves behind.
#include "TestMain.h"
#include "model/ModelTestSupport.h"

#include <QCryptographicHash>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

struct Result {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

QString programPath() {
    return QCoreApplication::applicationDirPath() + "/trevalinctl";
}

// A private home with a data folder of files to track.
class Home {
public:
    Home() {
        QDir().mkpath(root() + "/.config");
        QDir().mkpath(root() + "/.local/share");
        QDir().mkpath(data());
    }
    QString root() const { return m_dir.path(); }
    QString data() const { return m_dir.path() + "/files"; }
    QString container() const { return root() + "/.local/share/corvane/Trevalin"; }
    QString write(const QString& name, const QByteArray& content) const {
        const QString path = data() + u'/' + name;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write test file");
        return path;
    }

    Result run(const QStringList& args) const { return exec(programPath(), args, {}); }

    // How a run differs from a plain one.
    struct Options {
        std::function<void()> inChild; // runs in the child just before the program starts
        QString standardOutputFile;
    };
    // The environment of a run: this home and its XDG folders.
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), root());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), root() + "/.config");
        env.insert(QStringLiteral("XDG_DATA_HOME"), root() + "/.local/share");
        env.insert(QStringLiteral("XDG_CACHE_HOME"), root() + "/.cache");
        return env;
    }
    Result exec(const QString& program, const QStringList& args, const Options& options) const {
        QProcess process;
        if (options.inChild)
            process.setChildProcessModifier(options.inChild);
        if (!options.standardOutputFile.isEmpty())
            process.setStandardOutputFile(options.standardOutputFile);
        process.setWorkingDirectory(root());
        process.setProcessEnvironment(environment());
        process.start(program, args);
        Result result;
        if (!process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
            return result;
        }
        result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
        return result;
    }

private:
    QTemporaryDir m_dir;
};

QString hex(const QByteArray& data, QCryptographicHash::Algorithm algorithm) {
    return QString::fromLatin1(QCryptographicHash::hash(data, algorithm).toHex());
}

// The digest lines of `show`, e.g. "SHA256: 0f..." -> {"SHA256", "0f..."}.
QMap<QString, QString> shownDigests(const QByteArray& out) {
    QMap<QString, QString> digests;
    for (const QByteArray& line : out.split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() == 2 && parts[0].endsWith(':') && (parts[0].startsWith("SHA") || parts[0] == "MD5:"))
            digests.insert(QString::fromLatin1(parts[0].chopped(1)), QString::fromLatin1(parts[1]));
    }
    return digests;
}

// Lines of `check` output, path -> verdict.
QMap<QString, QString> verdicts(const QByteArray& out) {
    QMap<QString, QString> map;
    for (const QByteArray& line : out.split('\n')) {
        const int space = line.indexOf(' ');
        if (space <= 0 || line.startsWith("Checked"))
            continue;
        QString path = QString::fromUtf8(line.mid(space).trimmed());
        path = path.section(QStringLiteral(" ("), 0, 0);
        map.insert(path, QString::fromLatin1(line.left(space)));
    }
    return map;
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

// In the child: a current folder that was removed.
void removedCurrentFolder() {
    if (::mkdir("gone", 0700) != 0 || ::chdir("gone") != 0 || ::rmdir("../gone") != 0)
        ::_exit(98);
}

// In the child: a current folder whose path is longer than PATH_MAX.
void deepCurrentFolder() {
    char name[256];
    std::memset(name, 'd', sizeof name - 1);
    name[sizeof name - 1] = '\0';
    for (int depth = 0; depth * 256 <= PATH_MAX; ++depth) {
        if (::mkdir(name, 0700) != 0 || ::chdir(name) != 0)
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
        QByteArray state = QByteArray::number(st.st_mode) + ' ' + QByteArray::number(qint64(st.st_size)) +
                           ' ' + QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.' +
                           QByteArray::number(qint64(st.st_mtim.tv_nsec));
        QFile file(path);
        if (S_ISREG(st.st_mode) && file.open(QIODevice::ReadOnly))
            state += ' ' + file.readAll();
        entries.insert(path.mid(root.size()), state);
    }
    return entries;
}

} // namespace

class TrevalinctlTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(QFile::exists(programPath()), qPrintable(programPath())); }

    void helpForEveryCommand_data() {
        QTest::addColumn<QString>("command");
        for (const char* c :
             {"add", "list", "show", "export", "folders", "monitor", "algorithms", "check", "watch"})
            QTest::newRow(c) << QString::fromLatin1(c);
    }
    void helpForEveryCommand() {
        QFETCH(QString, command);
        Home home;
        const Result r = home.run({command, "--help"});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith("Usage: trevalinctl " + command.toLatin1() + " "), r.out.constData());
        QVERIFY(r.err.isEmpty());
        QVERIFY(!QFile::exists(home.container() + "/Trevalin.database.plist"));
    }

    void usageErrors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status"); // 2: usage error, 1: the command failed
        QTest::newRow("no command") << QStringList{} << 2;
        QTest::newRow("unknown command") << QStringList{"frobnicate"} << 2;
        QTest::newRow("unknown global option") << QStringList{"--frob", "list"} << 2;
        QTest::newRow("unknown command option") << QStringList{"list", "--frob"} << 2;
        QTest::newRow("show needs a path") << QStringList{"show"} << 2;
        QTest::newRow("add needs a path") << QStringList{"add"} << 2;
        QTest::newRow("too many for list") << QStringList{"list", "a", "b"} << 2;
        QTest::newRow("monitor state") << QStringList{"monitor", "/tmp", "maybe"} << 2;
        QTest::newRow("unknown algorithm") << QStringList{"algorithms", "--enable", "SHA1,CRC32"} << 2;
        QTest::newRow("bad jobs") << QStringList{"check", "--jobs", "0"} << 2;
        QTest::newRow("add missing path") << QStringList{"add", "/nonexistent/x"} << 1;
        QTest::newRow("show untracked") << QStringList{"show", "/nonexistent/x"} << 1;
        QTest::newRow("check untracked") << QStringList{"check", "/nonexistent/file"} << 1;
        QTest::newRow("monitor unknown folder") << QStringList{"monitor", "/tmp", "on"} << 1;
        QTest::newRow("export to a missing folder") << QStringList{"export", "/nonexistent/dir/x.csv"} << 1;
    }
    // Every error is one clear line on standard error, with nothing on standard output.
    void usageErrors() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        Home home;
        const Result r = home.run(args);
        QCOMPARE(r.status, status);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.startsWith("trevalinctl: "), r.err.constData());
        QCOMPARE(r.err.count('\n'), 1); // one clear line
    }

    void addListExportAgainstIndependentDigests() {
        Home home;
        QMap<QString, QByteArray> contents;
        contents.insert(home.write("alpha.txt", "alpha\n"), "alpha\n");
        QByteArray big(3 * 1024 * 1024 + 17, '\0');
        for (int i = 0; i < big.size(); ++i)
            big[i] = char((i * 131) ^ (i >> 9));
        contents.insert(home.write("big.bin", big), big);
        contents.insert(home.write(QStringLiteral("comma, quote\".txt"), "x"), "x");
        contents.insert(home.write("empty", QByteArray()), QByteArray());
        home.write(".hidden", "skipped");

        Result r = home.run({"algorithms", "--enable", "MD5,SHA1,SHA256,SHA384,SHA512"});
        QCOMPARE(r.status, 0);
        r = home.run({"add", home.data()});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith("Added 4 file(s)"), r.out.constData());
        QCOMPARE(r.out.count('\n'), 1);
        QVERIFY(r.err.isEmpty()); // not a terminal: no progress bar

        r = home.run({"list", home.data()});
        QCOMPARE(r.status, 0);
        const QList<QByteArray> lines = r.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 4);
        for (const QByteArray& line : lines)
            QVERIFY2(line.startsWith("Processed "), line.constData());
        QVERIFY(r.out.contains(QByteArray::number(big.size()) + " " + home.data().toUtf8() + "/big.bin\n"));

        r = home.run({"folders"});
        QCOMPARE(r.out, "off " + home.data().toUtf8() + "\n");
        r = home.run({"monitor", home.data(), "on"});
        QCOMPARE(r.status, 0);
        r = home.run({"folders"});
        QCOMPARE(r.out, "on  " + home.data().toUtf8() + "\n");

        const QString csvPath = home.root() + "/export.csv";
        r = home.run({"export", csvPath});
        QCOMPARE(r.status, 0);
        QFile csv(csvPath);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QByteArray text = csv.readAll();
        QVERIFY(text.endsWith('\r'));
        QVERIFY(!text.contains('\n'));
        QList<QByteArray> rows = text.split('\r');
        rows.removeLast();
        QCOMPARE(rows.size(), 5);
        QCOMPARE(rows[0], QByteArray("Path,MD5,SHA1,SHA256,SHA384,SHA512"));
        int matched = 0;
        for (auto it = contents.cbegin(); it != contents.cend(); ++it) {
            const QByteArray& data = it.value();
            const QString field =
                it.key().contains(u',') || it.key().contains(u'"')
                    ? u'"' + QString(it.key()).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"'
                    : it.key();
            const QString expected = QStringList{field,
                                                 hex(data, QCryptographicHash::Md5),
                                                 hex(data, QCryptographicHash::Sha1),
                                                 hex(data, QCryptographicHash::Sha256),
                                                 hex(data, QCryptographicHash::Sha384),
                                                 hex(data, QCryptographicHash::Sha512)}
                                         .join(u',');
            for (const QByteArray& row : rows)
                matched += QString::fromUtf8(row) == expected;
        }
        QCOMPARE(matched, contents.size());

        // The same text on standard output, with no log line in it even when verbose.
        r = home.run({"--verbose", "export", "-"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, text);
        QVERIFY2(r.err.contains("INFO"), r.err.constData()); // the log lines went to standard error
        r = home.run({"export"});
        QCOMPARE(r.out, text);
        QVERIFY(r.err.isEmpty());
        QVERIFY(QFile::exists(home.container() + "/org.corvane.Trevalin.log"));
    }

    // The check command end to end (the verdicts themselves: tst_IntegrityCheck): a line
    // per file, the summary and exit status, the changed file's record saved, --quiet.
    void checkReportsEachFileAndSavesChangedRecords() {
        Home home;
        const QString rotten = home.write("rotten.bin", QByteArray(64 * 1024, 'a'));
        const QString edited = home.write("edited.txt", "version 1\n");
        const QString gone = home.write("gone.txt", "bye\n");
        const QString fine = home.write("fine.txt", "fine\n");
        QCOMPARE(home.run({"algorithms", "--enable", "SHA256,MD5"}).status, 0);
        QCOMPARE(home.run({"add", home.data()}).status, 0);

        // Bit rot: one byte flipped, size and times as before.
        struct stat before {};
        QCOMPARE(::stat(QFile::encodeName(rotten).constData(), &before), 0);
        {
            QFile file(rotten);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.seek(1000));
            QVERIFY(file.write("b", 1) == 1);
        }
        const struct timespec times[2] = {before.st_atim, before.st_mtim};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(rotten).constData(), times, 0), 0);
        // An ordinary edit: new size and a later modification time, set outright rather
        // than waited for (a coarse clock may give the old time again).
        struct stat editedBefore {};
        QCOMPARE(::stat(QFile::encodeName(edited).constData(), &editedBefore), 0);
        {
            QFile file(edited);
            QVERIFY(file.open(QIODevice::Append));
            file.write("version 2\n");
        }
        const struct timespec later[2] = {editedBefore.st_atim,
                                          {editedBefore.st_mtim.tv_sec + 1, editedBefore.st_mtim.tv_nsec}};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(edited).constData(), later, 0), 0);
        QVERIFY(QFile::remove(gone));

        Result r = home.run({"check"});
        QCOMPARE(r.status, 1);
        const QMap<QString, QString> v = verdicts(r.out);
        QCOMPARE(v.value(rotten), QStringLiteral("corrupt"));
        QCOMPARE(v.value(edited), QStringLiteral("changed"));
        QCOMPARE(v.value(gone), QStringLiteral("missing"));
        QCOMPARE(v.value(fine), QStringLiteral("ok"));
        QVERIFY(r.out.contains("(MD5,SHA256 differs)") || r.out.contains("(SHA256,MD5 differs)"));
        QVERIFY(r.out.contains("Checked 4 file(s): 1 ok, 1 changed, 1 corrupt, 1 missing, 0 unreadable"));
        // The changed file's record now describes the new content, in the saved database.
        QCOMPARE(shownDigests(home.run({"show", edited}).out).value(QStringLiteral("SHA256")),
                 hex("version 1\nversion 2\n", QCryptographicHash::Sha256));

        r = home.run({"check", "--quiet", fine, rotten});
        QCOMPARE(r.status, 1);
        QCOMPARE(verdicts(r.out).keys(), QStringList{rotten});
    }

    void addRefusesWhatItCannotTake_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("FIFO") << "fifo"
                              << "it is a FIFO, not a regular file or folder";
        QTest::newRow("socket") << "socket"
                                << "it is a socket, not a regular file or folder";
        QTest::newRow("character device") << "device"
                                          << "it is a character device, not a regular file or folder";
        QTest::newRow("unreadable file") << "unreadable file"
                                         << "the file cannot be read (permission denied)";
        QTest::newRow("unreadable folder") << "unreadable folder"
                                           << "the folder cannot be read (permission denied)";
        const QString unstorable = "the content database cannot store this name";
        QTest::newRow("control character in the name") << "control" << unstorable;
        QTest::newRow("name not valid UTF-8") << "invalid" << unstorable;
        QTest::newRow("nothing there") << "missing"
                                       << "no such file or folder";
    }
    // A path named to add that the engine would drop is refused: status 1, one line
    // naming the path and the reason, nothing added.
    void addRefusesWhatItCannotTake() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        Home home;
        QString path = home.data() + "/x";
        const QByteArray name = QFile::encodeName(path);
        QString program = programPath();
        QStringList args{"add", path};
        Home::Options options;
        if (kind == "fifo")
            QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        if (kind == "socket") {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strncpy(address.sun_path, name.constData(), sizeof address.sun_path - 1);
            QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
            ::close(fd);
        }
        if (kind == "device") {
            if (::geteuid() != 0)
                QSKIP("making a device node needs root");
            QCOMPARE(::mknod(name.constData(), S_IFCHR | 0600, makedev(1, 3)), 0);
        }
        if (kind == "unreadable file") {
            home.write("x", "secret");
            QCOMPARE(::chmod(name.constData(), 0), 0);
        }
        if (kind == "unreadable folder") {
            home.write("y", "inside");
            path = home.data();
            args = QStringList{"add", path};
            QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0300), 0);
        }
        if (kind.startsWith("unreadable")) {
            giveAway(home.root());
            options.inChild = dropRoot;
        }
        if (kind == "control") {
            path = home.write("a\001b", "x");
            args = QStringList{"add", path};
            path = home.data() + "/a\\x01b"; // as the message shows it
        }
        if (kind == "invalid") {
            // Arguments pass through QString here: the shell makes the byte 0xFF.
            const QByteArray raw = QFile::encodeName(home.data()) + "/bad\xff";
            const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT, 0600);
            QVERIFY(fd >= 0);
            ::close(fd);
            program = "/bin/sh";
            args = QStringList{"-c", "exec \"$0\" add \"$1$(printf '\\377')\"", programPath(),
                               home.data() + "/bad"};
            path = home.data() + "/bad";
        }

        const Result r = home.exec(program, args, options);
        if (kind == "invalid")
            ::unlink((QFile::encodeName(home.data()) + "/bad\xff").constData()); // Qt cannot name it
        QCOMPARE(r.status, 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.startsWith("trevalinctl: cannot add " + path.toUtf8()), r.err.constData());
        QVERIFY2(r.err.contains(": " + reason.toUtf8()), r.err.constData());
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(!QFile::exists(home.container() + "/Trevalin.database.plist"));
    }

    // Entries of an added folder that triage refuses are counted in the summary.
    void addCountsTheEntriesItSkips() {
        Home home;
        home.write("good.txt", "good");
        home.write("tab\tis fine.txt", "tab");
        home.write("bell\x07.txt", "bell");
        const QByteArray raw = QFile::encodeName(home.data()) + "/latin1-\xe9.txt";
        const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT, 0600);
        QVERIFY(fd >= 0);
        ::close(fd);
        QCOMPARE(::mkfifo(QFile::encodeName(home.data() + "/pipe").constData(), 0600), 0);

        const Result r = home.run({"add", home.data()});
        ::unlink(raw.constData()); // Qt cannot name it
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith("Added 2 file(s), updated 0, 1 new folder(s)"), r.out.constData());
        QVERIFY2(
            r.out.endsWith("; 2 skipped: name cannot be stored; 1 skipped: not a readable regular file\n"),
            r.out.constData());
    }

    void currentFolderUnknown_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("deep"); // false: the current folder was removed
        QTest::newRow("add . in a removed folder") << QStringList{"add", "."} << false;
        QTest::newRow("add . deeper than PATH_MAX") << QStringList{"add", "."} << true;
        QTest::newRow("show a relative path, too deep") << QStringList{"show", "x"} << true;
        QTest::newRow("check a relative path, removed") << QStringList{"check", "x"} << false;
    }
    // A relative path is never guessed to be "/" or anything else.
    void currentFolderUnknown() {
        QFETCH(QStringList, args);
        QFETCH(bool, deep);
        Home home;
        const Result r =
            home.exec(programPath(), args, {deep ? deepCurrentFolder : removedCurrentFolder, {}});
        if (deep)
            QProcess::execute("rm", {"-rf", home.root() + u'/' + QString(255, u'd')});
        QCOMPARE(r.status, 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.startsWith("trevalinctl: cannot determine the current folder for \"" +
                                  args[1].toUtf8() + "\": "),
                 r.err.constData());
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(!QFile::exists(home.container() + "/Trevalin.database.plist"));
    }

    void lostWritesFail_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        const QString output = "trevalinctl: cannot write to standard output: ";
        QTest::newRow("export - to a full disk") << QStringList{"export", "-"} << output;
        QTest::newRow("algorithms to a full disk") << QStringList{"algorithms"} << output;
        QTest::newRow("help to a full disk") << QStringList{"--help"} << output;
        QTest::newRow("settings that cannot be written") << QStringList{"algorithms", "--enable", "MD5"}
                                                         << "trevalinctl: cannot write the settings file @: ";
    }
    // Output or settings that never arrived: status 1 and one line saying so.
    void lostWritesFail() {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        Home home;
        const QString settings = home.root() + "/.config/corvane/Trevalin.conf";
        error.replace("@", settings);
        Home::Options options;
        if (error.contains("output")) {
            if (!QFile::exists("/dev/full"))
                QSKIP("no /dev/full");
            options.standardOutputFile = "/dev/full";
        } else {
            QVERIFY(QDir().mkpath(settings)); // a folder where the file belongs
        }
        const Result r = home.exec(programPath(), args, options);
        QCOMPARE(r.status, 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.startsWith(error.toUtf8()), r.err.constData());
        QCOMPARE(r.err.count('\n'), 1);
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
    }
    // A command that only reads creates, rewrites and removes nothing in the home
    // folder (data folder, settings, caches); an existing log file is only appended to.
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
        args.replaceInStrings(QStringLiteral("@"), home.data());
        const QString logFile = "/.local/share/corvane/Trevalin/org.corvane.Trevalin.log";
        QMap<QString, QByteArray> before = snapshot(home.root());
        QCOMPARE(before.contains(logFile), populated);
        QFile log(home.root() + logFile);
        const QByteArray oldLog = log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
        log.close();

        const Result r = home.run(args);
        QCOMPARE(r.status, populated || args[0] != "show" ? 0 : 1);

        QMap<QString, QByteArray> after = snapshot(home.root());
        if (populated) {
            QVERIFY(log.open(QIODevice::ReadOnly));
            const QByteArray newLog = log.readAll();
            QVERIFY2(newLog.size() > oldLog.size() && newLog.startsWith(oldLog), "log file not appended to");
            after.remove(logFile);
            before.remove(logFile);
        }
        QCOMPARE(after, before);
    }

    // A command wires nothing of the desktop program's persistence or monitoring: with a
    // monitored folder stored, add saves the content database once, itself, and no
    // background save, folder watch or clean-up of the databases starts.
    void addSavesOnceAndStartsNothingElse() {
        Home home;
        home.write("a.txt", "a");
        QCOMPARE(home.run({"add", home.data()}).status, 0);
        QCOMPARE(home.run({"monitor", home.data(), "on"}).status, 0);
        home.write("b.txt", "b");
        const Result r = home.run({"--verbose", "add", home.data()});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.err.count("Save operation; database content written to storage [ Database.save() ]"), 1);
        for (const char* tag :
             {"[ FlagStore.save() ]", "[ FolderNotifications.register() ]", "[ Cleanup.databases() ]"})
            QVERIFY2(!r.err.contains(tag), r.err.constData());
    }

    void writersRefusedWhileTheLockIsHeld() {
        Home home;
        home.write("a.txt", "a");
        QCOMPARE(home.run({"add", home.data()}).status, 0);

        QDir().mkpath(home.container());
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
        // Readers still work.
        QCOMPARE(home.run({"list"}).status, 0);
        QCOMPARE(home.run({"algorithms"}).out,
                 QByteArray("off MD5\non  SHA1\noff SHA256\noff SHA384\noff SHA512\n"));

        ::close(fd);
        QCOMPARE(home.run({"monitor", home.data(), "on"}).status, 0);
    }

    void writersRefusedWhileTheDesktopProgramRuns() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            QSKIP("no session bus (run the tests under dbus-run-session)");
        if (!bus.registerService(QStringLiteral("org.corvane.Trevalin")))
            QSKIP("the bus name is owned by a running Trevalin");
        Home home;
        home.write("a.txt", "a");
        const Result r = home.run({"add", home.data()});
        bus.unregisterService(QStringLiteral("org.corvane.Trevalin"));
        QCOMPARE(r.status, 75);
        QVERIFY2(r.err.contains("Trevalin is running"), r.err.constData());
        QCOMPARE(home.run({"list"}).status, 0);
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
        QVERIFY(file.open(QIODevice::Append));
        QCOMPARE(file.write(" edited"), qint64(7));
        file.close();
        QVERIFY(QFile::remove(deleted));
        QList<QByteArray> expected{"added " + created.toUtf8(), "changed " + edited.toUtf8(),
                                   "removed " + deleted.toUtf8()};
        std::sort(expected.begin(), expected.end());
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
        QCOMPARE(shownDigests(home.run({"show", edited}).out).value("SHA1"),
                 hex("a edited", QCryptographicHash::Sha1)); // the default algorithm
    }

    // A tracked file the user can no longer read keeps its record; check says so.
    void anUnreadableTrackedFileIsKeptAndReported() {
        Home home;
        const QString file = home.write("private.txt", "secret");
        giveAway(home.root());
        const Home::Options asUser{dropRoot, {}};
        QCOMPARE(home.exec(programPath(), {"add", file}, asUser).status, 0);
        QCOMPARE(::chmod(QFile::encodeName(file).constData(), 0), 0);
        Result r = home.exec(programPath(), {"check", file}, asUser);
        QCOMPARE(r.status, 1);
        QCOMPARE(verdicts(r.out).value(file), "unreadable");
        r = home.exec(programPath(), {"list"}, asUser);
        QVERIFY2(r.out.contains(QFile::encodeName(file)), r.out.constData());
        QCOMPARE(::chmod(QFile::encodeName(file).constData(), 0600), 0);
        r = home.exec(programPath(), {"check", file}, asUser);
        QCOMPARE(verdicts(r.out).value(file), "ok");
    }

    // Records lost to a failed save come back when the folder is added again, and files
    // created since are picked up; the recorded file is not hashed again.
    void addingATrackedFolderAgainTakesInWhatHasNoRecord() {
        Home home;
        home.write("a.txt", "a");
        giveAway(home.root());
        const Home::Options asUser{dropRoot, {}};
        QCOMPARE(home.exec(programPath(), {"add", home.data()}, asUser).status, 0);
        // The save after the next add fails: the data folder is read-only.
        const QByteArray container = QFile::encodeName(home.container());
        QCOMPARE(::chmod(container.constData(), 0500), 0);
        home.write("b.txt", "b");
        Result r = home.exec(programPath(), {"add", home.write("c.txt", "c")}, asUser);
        QCOMPARE(::chmod(container.constData(), 0700), 0);
        QCOMPARE(r.status, 1);
        QVERIFY2(QRegularExpression("^trevalinctl: saving the (bookmark|content) database failed: Unable to "
                                    "write " +
                                    QRegularExpression::escape(home.container()) +
                                    "/Trevalin\\.\\w+\\.plist: .+")
                     .match(QString::fromUtf8(r.err))
                     .hasMatch(),
                 r.err.constData());

        r = home.exec(programPath(), {"add", home.data()}, asUser);
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith("Added 2 file(s), updated 0, 0 new folder(s); 2 digest(s)"),
                 r.out.constData());
        QCOMPARE(home.run({"list"}).out.count('\n'), 3);
    }

    // An unreadable data file is moved aside under a new name each time, never over an
    // earlier copy, and the command says where it went.
    void unreadableDataFilesAreSetAsideAndNamed_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("reader"); // a read-only command that opens the file
        QTest::newRow("content database")
            << QString("Trevalin.database.plist") << QString("content database") << QString("list");
        QTest::newRow("bookmark database")
            << QString("Trevalin.bookmarks.plist") << QString("bookmark database") << QString();
        QTest::newRow("folder store")
            << QString("Trevalin.sqlite") << QString("folder store") << QString("folders");
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
            QVERIFY(trevalin::test::writeFile(path, garbage));
            const Result r = home.run({"add", home.data()});
            QCOMPARE(r.status, 1);
            const QStringList copies = trevalin::test::asideCopies(path);
            QVERIFY2(r.err.contains(QStringLiteral("the %1 %2 could not be read (").arg(what, path).toUtf8()),
                     r.err.constData());
            bool named = false;
            for (const QString& copy : copies)
                named = named || (r.err.contains(("it was moved aside to " + copy).toUtf8()) &&
                                  trevalin::test::readAll(copy) == garbage);
            QVERIFY2(named, r.err.constData());
        }
        QCOMPARE(trevalin::test::asideCopies(path).size(), 2);
        if (reader.isEmpty())
            return;
        // A reader reports the file and leaves it where it is.
        QVERIFY(trevalin::test::writeFile(path, "third garbage"));
        const Result r = home.run({reader});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains("could not be read") && r.err.contains("it was left as it is"),
                 r.err.constData());
        QCOMPARE(trevalin::test::readAll(path), QByteArray("third garbage"));
        QCOMPARE(trevalin::test::asideCopies(path).size(), 2);
    }

    void algorithmSelectionKeepsOneEnabled() {
        Home home;
        Result r = home.run({"algorithms", "--enable", ""});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QByteArray("off MD5\non  SHA1\noff SHA256\noff SHA384\noff SHA512\n"));
        r = home.run({"algorithms", "--enable", "sha512, md5"});
        QCOMPARE(r.status, 0);
        QCOMPARE(home.run({"algorithms"}).out,
                 QByteArray("on  MD5\noff SHA1\noff SHA256\noff SHA384\non  SHA512\n"));
    }
};

TREVALIN_TEST_MAIN(TrevalinctlTest)

#include "tst_Trevalinctl.moc"
