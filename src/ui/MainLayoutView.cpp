#include "ui/MainLayoutView.h"

#include "app/LocationPicker.h"
#include "engine/Global.h"
#include "engine/Process.h"
#include "store/AppSettings.h"
#include "store/Database.h"
#include "ui/ContentDelegate.h"
#include "ui/ContentListView.h"
#include "ui/FileListModel.h"
#include "ui/FileMenu.h"
#include "ui/FolderActions.h"
#include "ui/FolderListModel.h"
#include "ui/FolderMenu.h"
#include "ui/ProgressBarView.h"
#include "ui/SectionRowModel.h"
#include "ui/TintedMenu.h"
#include "ui/ToolbarView.h"
#include "ui/TutorialModel.h"

#include <QAction>
#include <QConcatenateTablesProxyModel>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QVBoxLayout>

namespace trevalin {

namespace {

constexpr int kSideMargin = 15;

} // namespace

MainLayoutView::MainLayoutView(Database& database, CoreDataStack& folders, Progress& progress,
                               QWidget* parent)
    : QWidget(parent)
    , m_folderHeader(SectionRowModel::header(QStringLiteral("Folders"), this))
    , m_folders(new FolderListModel(folders, this))
    , m_divider(SectionRowModel::divider(this))
    , m_fileHeader(SectionRowModel::header(QStringLiteral("Files"), this))
    , m_files(new FileListModel(database, this))
    , m_tutorial(new TutorialModel(this))
    , m_sections(new QConcatenateTablesProxyModel(this))
    , m_progressBar(new ProgressBarView(progress, this))
    , m_list(new ContentListView(this))
    , m_toolbar(new ToolbarView(this))
    , m_picker(std::make_unique<FileDialogLocationPicker>())
    , m_intake([](const QList<Location>& locations) { Process::added(locations); }) {
    setObjectName(QStringLiteral("MainLayoutView"));
    setAcceptDrops(true);

    // The folder header, the folders and a divider; the file header and the files, or
    // the tutorial while there are no files. Each extra row shows only while its
    // section has something to head.
    for (QAbstractItemModel* section : std::initializer_list<QAbstractItemModel*>{
             m_folderHeader, m_folders, m_divider, m_fileHeader, m_files, m_tutorial})
        m_sections->addSourceModel(section);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_files, signal, this, &MainLayoutView::updateFileSection);
    connect(m_files, &QAbstractItemModel::modelReset, this, &MainLayoutView::updateFileSection);
    connect(m_folders, &FolderListModel::countChanged, this, &MainLayoutView::updateFolderSection);
    connect(&database, &Database::sizeStringChanged, m_fileHeader, &SectionRowModel::setTrailingText,
            Qt::QueuedConnection);
    m_fileHeader->setTrailingText(database.sizeString());
    updateFolderSection();
    updateFileSection();
    applySettings();

    m_list->setObjectName(QStringLiteral("contentList"));
    m_list->setModel(m_sections);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setItemDelegate(new ContentDelegate(m_list));
    m_list->setTextElideMode(Qt::ElideMiddle);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    // The list lies on the window's background, like the rest of the layout.
    m_list->viewport()->setAutoFillBackground(false);
    QFont rows = m_list->font();
    rows.setPointSizeF(12);
    m_list->setFont(rows);

    auto* listBox = new QVBoxLayout;
    listBox->setContentsMargins(kSideMargin, 0, kSideMargin, 0);
    listBox->addWidget(m_list);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    column->addWidget(m_progressBar);
    column->addLayout(listBox, 1);
    column->addWidget(m_toolbar);

    connect(m_list, &ContentListView::menuRequested, this, &MainLayoutView::showMenu);
    // Holding a monitored folder's eye turns its monitoring off.
    connect(m_list, &ContentListView::eyeHeld, this, [](const QModelIndex& index) {
        FolderActions::disableMonitoring(index.data(FolderListModel::FolderRole).value<Folder>(),
                                         FolderActions::Save::Sync);
    });
    connect(m_toolbar->addAction(), &QAction::triggered, this, &MainLayoutView::addFilesFolders);
    connect(m_toolbar->preferencesAction(), &QAction::triggered, this, &MainLayoutView::preferencesRequested);
}

MainLayoutView::~MainLayoutView() = default;

void MainLayoutView::setLocationPicker(std::unique_ptr<LocationPicker> picker) {
    m_picker = std::move(picker);
}

void MainLayoutView::setIntake(std::function<void(const QList<Location>&)> intake) {
    m_intake = std::move(intake);
}

void MainLayoutView::setDropDelegate(DragDropDelegate delegate) {
    m_drop = std::move(delegate);
}

void MainLayoutView::addFilesFolders() {
    chooseLocations(*m_picker, true, true, true,
                    [intake = m_intake](const std::optional<QList<Location>>& chosen) {
                        if (chosen && !chosen->isEmpty())
                            intake(*chosen);
                    });
}

void MainLayoutView::showMenu(const QModelIndex& index, const QPoint& globalPos) {
    // What the menu offers depends on the application's state as it is now.
    const ApplicationState state = Global::shared().status();
    QMenu* menu = nullptr;
    switch (RowKind(index.data(roles::Kind).toInt())) {
    case RowKind::File:
        menu = makeFileMenu(index.data(FileListModel::RecordRole).value<FileObjectPtr>(), state, this);
        break;
    case RowKind::Folder:
        menu = makeFolderMenu(index.data(FolderListModel::FolderRole).value<Folder>(), state, this);
        break;
    default:
        break;
    }
    if (!menu)
        return;
    // Let go once closed; an item's action runs after the menu hid, so not at once.
    connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
    m_menu = menu;
    menu->popup(globalPos);
}

bool MainLayoutView::showsTutorial() const {
    return m_tutorial->isShown();
}

void MainLayoutView::applySettings() {
    const AppSettings& settings = AppSettings::shared();
    m_folders->setFullPaths(settings.fullFolderPaths());
    m_files->setFullPaths(settings.fullFilePaths());
}

void MainLayoutView::updateFolderSection() {
    m_folderHeader->setCount(m_folders->folderCount());
    m_divider->setCount(m_folders->folderCount());
}

void MainLayoutView::updateFileSection() {
    const bool tutorial = m_files->rowCount() == 0;
    m_fileHeader->setCount(m_files->rowCount());
    m_tutorial->setShown(tutorial);
    // The hints wrap to the window's width. File rows are one line each, which lets the
    // list lay out any number of them without measuring each.
    m_list->setUniformRowHeights(!tutorial);
}

void MainLayoutView::dragEnterEvent(QDragEnterEvent* event) {
    if (DragDropDelegate::canTake(*event->mimeData()))
        event->acceptProposedAction();
}

void MainLayoutView::dragMoveEvent(QDragMoveEvent* event) {
    if (DragDropDelegate::canTake(*event->mimeData()))
        event->acceptProposedAction();
}

void MainLayoutView::dropEvent(QDropEvent* event) {
    if (m_drop.performDrop(*event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

} // namespace trevalin
