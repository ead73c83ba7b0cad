#include "store/AppSettings.h"

#include "logging/Logger.h"
#include "store/Debugging.h"

#include <QSettings>

namespace trevalin {

namespace {

// NativeFormat: on Linux an INI-style file named <application>.conf under
// $XDG_CONFIG_HOME/<organization>.
QSettings standardStore() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromLatin1(AppSettings::kOrganization),
                     QString::fromLatin1(AppSettings::kApplication));
}

QSettings suiteStore() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromLatin1(AppSettings::kOrganization),
                     QString::fromLatin1(AppSettings::kSuite));
}

} // namespace

QString AppSettings::keyName(Keys key) {
    switch (key) {
    case Keys::splashScreen:
        return QStringLiteral("splashScreen");
    case Keys::debugging:
        return QStringLiteral("debugging");
    case Keys::audioEnabled:
        return QStringLiteral("audioEnabled");
    case Keys::hideFileBrowser:
        return QStringLiteral("hideFileBrowser");
    case Keys::windowVisible:
        return QStringLiteral("windowVisible");
    case Keys::fullFilePaths:
        return QStringLiteral("fullFilePaths");
    case Keys::fullFolderPaths:
        return QStringLiteral("fullFolderPaths");
    case Keys::algorithmsData:
        return QStringLiteral("algorithmsData");
    case Keys::appUUID:
        return QStringLiteral("appUUID");
    }
    return {};
}

QVariant AppSettings::defaultValue(Keys key) {
    switch (key) {
    case Keys::splashScreen:
    case Keys::audioEnabled:
    case Keys::windowVisible:
        return true;
    case Keys::debugging:
    case Keys::hideFileBrowser:
    case Keys::fullFilePaths:
    case Keys::fullFolderPaths:
        return false;
    case Keys::algorithmsData:
        return QByteArray();
    case Keys::appUUID:
        return QString();
    }
    return {};
}

QString AppSettings::standardFilePath() {
    return standardStore().fileName();
}

QString AppSettings::suiteFilePath() {
    return suiteStore().fileName();
}

AppSettings& AppSettings::shared() {
    static AppSettings instance;
    return instance;
}

QVariant AppSettings::value(Keys key) {
    return standardStore().value(keyName(key), defaultValue(key));
}

QSettings::Status AppSettings::setValue(Keys key, const QVariant& value) {
    QSettings store = standardStore();
    store.setValue(keyName(key), value);
    store.sync();
    return store.status();
}

bool AppSettings::splashScreen() const {
    return value(Keys::splashScreen).toBool();
}
void AppSettings::setSplashScreen(bool value) {
    setValue(Keys::splashScreen, value);
}
bool AppSettings::audioEnabled() const {
    return value(Keys::audioEnabled).toBool();
}
void AppSettings::setAudioEnabled(bool value) {
    setValue(Keys::audioEnabled, value);
}
bool AppSettings::hideFileBrowser() const {
    return value(Keys::hideFileBrowser).toBool();
}
void AppSettings::setHideFileBrowser(bool value) {
    setValue(Keys::hideFileBrowser, value);
}
bool AppSettings::windowVisible() const {
    return value(Keys::windowVisible).toBool();
}
void AppSettings::setWindowVisible(bool value) {
    setValue(Keys::windowVisible, value);
}
bool AppSettings::fullFilePaths() const {
    return value(Keys::fullFilePaths).toBool();
}
void AppSettings::setFullFilePaths(bool value) {
    setValue(Keys::fullFilePaths, value);
}
bool AppSettings::fullFolderPaths() const {
    return value(Keys::fullFolderPaths).toBool();
}
void AppSettings::setFullFolderPaths(bool value) {
    setValue(Keys::fullFolderPaths, value);
}
QString AppSettings::appUUID() const {
    return value(Keys::appUUID).toString();
}
void AppSettings::setAppUUID(const QString& value) {
    setValue(Keys::appUUID, value);
}
QByteArray AppSettings::algorithmsData() const {
    return value(Keys::algorithmsData).toByteArray();
}
QSettings::Status AppSettings::setAlgorithmsData(const QByteArray& value) {
    return setValue(Keys::algorithmsData, value);
}
bool AppSettings::debugging() const {
    return value(Keys::debugging).toBool();
}
void AppSettings::setDebugging(bool value) {
    setValue(Keys::debugging, value);
}

bool AppSettings::autoLaunch() const {
    return suiteStore().value(QString::fromLatin1(kAutoLaunchKey), false).toBool();
}

void AppSettings::setAutoLaunch(bool value) {
    QSettings store = suiteStore();
    store.setValue(QString::fromLatin1(kAutoLaunchKey), value);
    store.sync();
}

void AppSettings::loadAlgorithmStatus() {
    const QByteArray data = shared().algorithmsData();
    QList<Digests> algorithms;
    bool completed = false;
    if (const std::optional<QList<Digests>> decoded = DigestState::decode(data, &completed)) {
        algorithms = *decoded;
        if (completed) {
            TLOG_WARNING(QStringLiteral("Stored algorithms selection completed; algorithms it lacked are "
                                        "switched off [ AppSettings.loadAlgorithmStatus() ]"));
            saveAlgorithmStatus(algorithms);
        }
    } else {
        algorithms = DigestState::defaultList();
        TLOG_WARNING(QStringLiteral("Default algorithms selection chosen at startup"));
        // Saved at once on the calling thread; this runs as part of a loading task already.
        saveAlgorithmStatus(algorithms);
    }
    DigestState& state = DigestState::shared();
    state.setAlgorithms(algorithms);
    TLOG_INFO(QStringLiteral("Active algorithms ") + QString::number(state.enabledCount()) +
              QStringLiteral(", decoded array from: ") + QString::number(data.size()) +
              QStringLiteral(" bytes [ AppSettings.loadAlgorithmStatus() ]"));
    if (Debugging::flag())
        state.report();
}

QSettings::Status AppSettings::saveAlgorithmStatus(const QList<Digests>& algorithms) {
    const QByteArray data = DigestState::encode(algorithms);
    if (data.isEmpty())
        return QSettings::FormatError;
    const QSettings::Status status = shared().setAlgorithmsData(data);
    if (Debugging::flag()) {
        int enabled = 0;
        for (const Digests& entry : algorithms)
            enabled += entry.enabled ? 1 : 0;
        TLOG_DEBUG(QStringLiteral("Active algorithms ") + QString::number(enabled) +
                   QStringLiteral(", encoded array to: ") + QString::number(data.size()) +
                   QStringLiteral(" bytes [ AppSettings.saveAlgorithmStatus(_:) ]"));
    }
    return status;
}

void AppSettings::removeAllSettings() {
    {
        QSettings store = standardStore();
        for (Keys key : kAllKeys)
            store.remove(keyName(key));
        store.sync();
    }
    DigestState& state = DigestState::shared();
    state.setDefaults();
    saveAlgorithmStatus(state.algorithms());
}

} // namespace trevalin
