// trevalin-screenshots: renders the pictures of the README and the AppStream metainfo
// with the offscreen platform, in a fresh temporary home filled with sample data: the
// main window (an added folder, a monitored folder, files in every state), the splash
// screen, the preferences' Crypto tab and the tray menu.
//
//   trevalin-screenshots OUTPUT_FOLDER
#include "TestMain.h"
#include "app/StatusBarController.h"
#include "engine/Engine.h"
#include "engine/EnginePool.h"
#include "engine/Global.h"
#include "model/DigestState.h"
#include "store/AppSettings.h"
#include "store/CoreDataStack.h"
#include "store/Database.h"
#include "ui/ContentListView.h"
#include "ui/MainLayoutView.h"
#include "ui/MainWindow.h"
#include "ui/PreferencesWindow.h"
#include "ui/SplashScreenView.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace trevalin;

namespace {

Location writeFile(const QString& folder, const QString& name, const QByteArray& data) {
    QDir().mkpath(folder);
    QFile file(folder + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return Location(file.fileName());
}

// A record in `status`, with the SHA1 and SHA256 of `data` once processed.
void record(const Location& location, const QByteArray& data, FileState status) {
    const FileObjectPtr file = FileObject::create(location, false);
    if (status == FileState::Processed || status == FileState::Zombie)
        file->setChecksums(
            {Checksum::make(
                 Digest::SHA1,
                 QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex())),
             Checksum::make(
                 Digest::SHA256,
                 QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex()))});
    file->setStatus(status);
    Database::shared().set(location, file);
}

void addFolder(const QString& path, bool monitored) {
    const Location location(path);
    CoreDataStack::shared().insertIfAbsent(
        Folder{QUuid::createUuid(), location, location.fileName(), location.path(), 0, 0, monitored});
}

bool save(QWidget& widget, const QString& path) {
    QTest::qWait(150); // let queued model changes and the first paint land
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
    return saved;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(out);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    test::isolateHome(home.path());
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("corvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Trevalin"));
    Engine::start({.persistence = true, .flags = true, .algorithms = true, .databases = true});
    Global::shared().setStatusForTesting(ApplicationState::Idle);
    bool ok = true;

    // The first start: the splash screen.
    {
        SplashScreenView splash;
        splash.show();
        ok &= save(splash, out + QStringLiteral("/splash-screen.png"));
    }

    // Sample data: two folders, one monitored, and files in every state.
    const QString photos = home.path() + QStringLiteral("/Pictures/Holiday 2026");
    const QString papers = home.path() + QStringLiteral("/Documents/Contracts");
    addFolder(papers, false);
    addFolder(photos, true);
    const struct {
        QString folder;
        const char* name;
        FileState status;
    } files[] = {
        {papers, "lease-agreement.pdf", FileState::Processed},
        {papers, "insurance-2026.pdf", FileState::Processed},
        {papers, "tax-return.pdf", FileState::Processed},
        {photos, "beach-sunset.jpg", FileState::Processed},
        {photos, "harbour.jpg", FileState::Changing},
        {photos, "old-town.jpg", FileState::Incomplete},
        {photos, "family-dinner.jpg", FileState::Pending},
        {photos, "mountains.jpg", FileState::Pending},
    };
    for (const auto& file : files) {
        const QByteArray data = QByteArray(file.name).repeated(4096);
        record(writeFile(file.folder, QString::fromLatin1(file.name), data), data, file.status);
    }
    Database::shared().calculateSize();
    Database::shared().flushChanges();
    CoreDataStack::shared().flushChanges();
    AppSettings::shared().setSplashScreen(false);
    AppSettings::shared().setWindowVisible(true);

    MainWindow window;
    window.resize(420, 540); // every row in view
    window.bringForward();
    QTest::qWait(100);
    window.view().mainLayout().list().setCurrentIndex({});
    ok &= save(window, out + QStringLiteral("/main-window.png"));

    PreferencesWindow preferences;
    preferences.bringForward();
    preferences.tabs().setCurrentIndex(1);
    ok &= save(preferences, out + QStringLiteral("/preferences.png"));

    StatusBarController tray(StatusBarController::Routes{});
    tray.menu().popup(QPoint(0, 0));
    ok &= save(tray.menu(), out + QStringLiteral("/tray-menu.png"));
    tray.menu().hide();

    EnginePool::waitForDone(5000);
    return ok ? 0 : 1;
}
