// AppSettings: the user's settings and persistent program state. Every key of Keys
// lives in the standard store, the QSettings file ~/.config/corvane/Trevalin.conf;
// "Trevalin.autoLaunch" lives in the suite file ~/.config/corvane/group.org.corvane.conf,
// which the launcher reads too. Each property reads the store when read (an absent key
// gives its default) and writes it when assigned; writes are flushed to disk at once.
//
// Thread-safety: every function may be called from any thread; each access opens its
// own QSettings object, and QSettings serialises access to the file.
#pragma once

#include "model/DigestState.h"

#include <QByteArray>
#include <QList>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <array>

namespace trevalin {

class AppSettings {
public:
    enum class Keys {
        splashScreen,
        debugging,
        audioEnabled,
        hideFileBrowser,
        windowVisible,
        fullFilePaths,
        fullFolderPaths,
        algorithmsData,
        appUUID,
    };
    static constexpr std::array<Keys, 9> kAllKeys{
        Keys::splashScreen,    Keys::debugging,      Keys::audioEnabled,
        Keys::hideFileBrowser, Keys::windowVisible,  Keys::fullFilePaths,
        Keys::fullFolderPaths, Keys::algorithmsData, Keys::appUUID};
    // The key text (equal to the case name).
    static QString keyName(Keys key);
    // The default: true for splashScreen, audioEnabled, windowVisible; false for the other
    // booleans; empty QByteArray for algorithmsData; "" for appUUID.
    static QVariant defaultValue(Keys key);

    // Store identities.
    static constexpr const char* kOrganization = "corvane";
    static constexpr const char* kApplication = "Trevalin";
    static constexpr const char* kSuite = "group.org.corvane";
    static constexpr const char* kAutoLaunchKey = "Trevalin.autoLaunch";
    // Paths of the two files.
    static QString standardFilePath();
    static QString suiteFilePath();

    AppSettings() = default;
    static AppSettings& shared();

    bool splashScreen() const;
    void setSplashScreen(bool value);
    bool audioEnabled() const;
    void setAudioEnabled(bool value);
    bool hideFileBrowser() const;
    void setHideFileBrowser(bool value);
    bool windowVisible() const;
    void setWindowVisible(bool value);
    bool fullFilePaths() const;
    void setFullFilePaths(bool value);
    bool fullFolderPaths() const;
    void setFullFolderPaths(bool value);
    QString appUUID() const;
    void setAppUUID(const QString& value);
    QByteArray algorithmsData() const;
    QSettings::Status setAlgorithmsData(const QByteArray& value);
    bool autoLaunch() const;
    void setAutoLaunch(bool value);
    // The stored debugging setting (Debugging::flag() caches it for the run).
    bool debugging() const;
    void setDebugging(bool value);

    // Generic access to the standard store.
    static QVariant value(Keys key);
    // Returns the store's status after the write reached the file: NoError, or
    // AccessError / FormatError when the settings file could not be written.
    static QSettings::Status setValue(Keys key, const QVariant& value);

    // Loads the stored selection into DigestState::shared(); empty or undecodable data
    // gives the default list (warning "Default algorithms selection chosen at startup"),
    // which is saved at once. A stored list that lacks algorithms (or repeats one) is
    // completed as DigestState::decode() does, logged as a warning and saved at once; the
    // choices it held are kept. Logs "Active algorithms N, decoded array from: B bytes
    // [ AppSettings.loadAlgorithmStatus() ]"; with debugging on, DigestState::report().
    static void loadAlgorithmStatus();
    // Writes the JSON form of `algorithms` to algorithmsData, synchronously (callers that
    // must not block run it on a low-priority pool task). Debug-gated line "Active
    // algorithms N, encoded array to: B bytes [ AppSettings.saveAlgorithmStatus(_:) ]".
    // Returns the store's status as setValue() does (FormatError when the selection
    // could not be encoded, so nothing was written).
    static QSettings::Status saveAlgorithmStatus(const QList<Digests>& algorithms);

    // Removes every key of Keys in order, resets DigestState::shared() to its defaults and
    // saves them. "Trevalin.autoLaunch" is kept.
    static void removeAllSettings();
};

} // namespace trevalin
