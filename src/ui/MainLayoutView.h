// MainLayoutView: the main window's working layout — the progress bar along the top,
// one scrolling list holding the folder list and then the file list (or, while the
// content database is empty, the tutorial), and the toolbar along the bottom. The list
// is one view over the sections' models joined end to end, so it makes no widget per
// row however many records there are.
//
// "Add Files/Folders" asks the location picker for files and folders and hands what
// the user chose to intake on the engine pool; the window never waits for it. Files
// and folders dropped anywhere on the layout go to intake too (DragDropDelegate).
//
// Thread-safety: a widget of the GUI thread. Its models follow the content database and
// the folder store through queued connections.
#pragma once

#include "app/DragDropDelegate.h"

#include <QMenu>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QConcatenateTablesProxyModel;

namespace trevalin {

class ContentListView;
class CoreDataStack;
class Database;
class FileListModel;
class FolderListModel;
class LocationPicker;
class Progress;
class ProgressBarView;
class SectionRowModel;
class ToolbarView;
class TutorialModel;

class MainLayoutView : public QWidget {
    Q_OBJECT

public:
    MainLayoutView(Database& database, CoreDataStack& folders, Progress& progress, QWidget* parent = nullptr);
    ~MainLayoutView() override;

    // Test seams: the dialog behind "Add Files/Folders" and the intake of the chosen
    // locations (Process::added unless set).
    void setLocationPicker(std::unique_ptr<LocationPicker> picker);
    void setIntake(std::function<void(const QList<Location>&)> intake);
    void setDropDelegate(DragDropDelegate delegate);

    // The "Add Files/Folders" action.
    void addFilesFolders();
    // Reads the "fullFolderPaths" and "fullFilePaths" settings again.
    void applySettings();

    bool showsTutorial() const;
    ContentListView& list() const { return *m_list; }
    ToolbarView& toolbar() const { return *m_toolbar; }
    ProgressBarView& progressBar() const { return *m_progressBar; }
    FolderListModel& folderModel() const { return *m_folders; }
    FileListModel& fileModel() const { return *m_files; }
    // The context menu shown last, while it is open.
    QMenu* openMenu() const { return m_menu; }

signals:
    void preferencesRequested();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Pops up the context menu of the row at `index`, if it has one.
    void showMenu(const QModelIndex& index, const QPoint& globalPos);
    // The folder header and divider follow the folder count; the file header and the
    // tutorial follow the file list.
    void updateFolderSection();
    void updateFileSection();

    SectionRowModel* m_folderHeader;
    FolderListModel* m_folders;
    SectionRowModel* m_divider;
    SectionRowModel* m_fileHeader;
    FileListModel* m_files;
    TutorialModel* m_tutorial;
    QConcatenateTablesProxyModel* m_sections;
    ProgressBarView* m_progressBar;
    ContentListView* m_list;
    ToolbarView* m_toolbar;
    std::unique_ptr<LocationPicker> m_picker;
    std::function<void(const QList<Location>&)> m_intake;
    DragDropDelegate m_drop;
    QPointer<QMenu> m_menu;
};

} // namespace trevalin
