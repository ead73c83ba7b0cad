#include "ui/MainLayoutView.h"

#include "app/LocationPicker.h"
#include "engine/Process.h"
#include "ui/FileListModel.h"
#include "ui/FolderListModel.h"
#include "ui/ProgressBarView.h"
#include "ui/ToolbarView.h"
#include "ui/TutorialModel.h"

#include <QAction>
#include <QConcatenateTablesProxyModel>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QListView>
#include <QMimeData>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace trevalin {

namespace {

constexpr int kSideMargin = 15;

// Rows that cannot be selected (the tutorial's) are drawn as plain text: no focus
// frame and no highlight when the list's current index lands on them.
class PlainRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (index.flags() & Qt::ItemIsSelectable)
            return QStyledItemDelegate::paint(painter, option, index);
        QStyleOptionViewItem plain(option);
        plain.state &= ~(QStyle::State_HasFocus | QStyle::State_Selected | QStyle::State_MouseOver);
        QStyledItemDelegate::paint(painter, plain, index);
    }
};

} // namespace

MainLayoutView::MainLayoutView(Database& database, CoreDataStack& folders, Progress& progress,
                               QWidget* parent)
    : QWidget(parent)
    , m_folders(new FolderListModel(folders, this))
    , m_files(new FileListModel(database, this))
    , m_tutorial(new TutorialModel(this))
    , m_sections(new QConcatenateTablesProxyModel(this))
    , m_progressBar(new ProgressBarView(progress, this))
    , m_list(new QListView(this))
    , m_toolbar(new ToolbarView(this))
    , m_picker(std::make_unique<FileDialogLocationPicker>())
    , m_intake([](const QList<Location>& locations) { Process::added(locations); }) {
    setObjectName(QStringLiteral("MainLayoutView"));
    setAcceptDrops(true);

    // Folders, then files, then the tutorial, which shows only while there are no files.
    m_sections->addSourceModel(m_folders);
    m_sections->addSourceModel(m_files);
    m_sections->addSourceModel(m_tutorial);
    updateFileSection();
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_files, signal, this, &MainLayoutView::updateFileSection);
    connect(m_files, &QAbstractItemModel::modelReset, this, &MainLayoutView::updateFileSection);

    m_list->setObjectName(QStringLiteral("contentList"));
    m_list->setModel(m_sections);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_list->setSpacing(1);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setItemDelegate(new PlainRowDelegate(m_list));
    m_list->setResizeMode(QListView::Adjust);
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

bool MainLayoutView::showsTutorial() const {
    return m_tutorial->isShown();
}

void MainLayoutView::updateFileSection() {
    const bool tutorial = m_files->rowCount() == 0;
    m_tutorial->setShown(tutorial);
    // The hints wrap to the window's width. File rows are one line each, which lets the
    // list lay out any number of them without measuring each.
    m_list->setWordWrap(tutorial);
    m_list->setUniformItemSizes(!tutorial);
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
