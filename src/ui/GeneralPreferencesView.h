// GeneralPreferencesView: the "General" tab of the preferences — starting at login,
// audible notifications and full paths in the main window's lists, each a switch bound
// to its setting. The switches show the settings as stored when the view is made and
// write them when the user changes them.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QWidget>

class QCheckBox;

namespace trevalin {

class GeneralPreferencesView : public QWidget {
    Q_OBJECT

public:
    explicit GeneralPreferencesView(QWidget* parent = nullptr);

    QCheckBox* launchAtLogin() const { return m_login; }
    QCheckBox* sounds() const { return m_sounds; }
    QCheckBox* fullFilePaths() const { return m_files; }
    QCheckBox* fullFolderPaths() const { return m_folders; }

signals:
    // "fullFilePaths" or "fullFolderPaths" was written: the lists show paths anew.
    void displayPathsChanged();

private:
    QCheckBox* m_login;
    QCheckBox* m_sounds;
    QCheckBox* m_files;
    QCheckBox* m_folders;
};

} // namespace trevalin
