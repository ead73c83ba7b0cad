// FileListModel: the content database as a list, one row per record in the database's
// order, for the main window's file list. It follows the database's batched change
// reports (Database::recordsChanged) row by row: a removed record removes its row, an
// appended one appends a row, a changed one repaints its row; only a reset of the
// whole database resets the model. Rows hold only the records' locations: a batch of
// thousands of changes costs a hash lookup each, and a row reads its record from the
// database when it is shown (only the rows on screen are).
//
// Thread-safety: lives on the GUI thread and is used there only. The database reports
// from its own thread; the connection is queued.
#pragma once

#include "model/FileObject.h"
#include "model/Location.h"
#include "store/RecordChanges.h"

#include <QAbstractListModel>
#include <QHash>
#include <QList>

namespace trevalin {

class Database;

class FileListModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role { RecordRole = Qt::UserRole + 1 };

    // Reads every record of `database` now and follows its changes from then on; the
    // database must outlive the model.
    explicit FileListModel(Database& database, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    // DisplayRole: the file's name (its path with full paths on); ForegroundRole: the
    // colour of its state (orange pending, blue changing, purple incomplete, the
    // default once processed); ToolTipRole: its folder, once processed; RecordRole: the
    // record (FileObjectPtr); roles::Kind.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Whether a record in this state offers its checksums (a context menu and tooltip).
    static bool hasMenu(FileState status);
    void setFullPaths(bool fullPaths);

    // The record of `row` as the database holds it now (null when it is gone).
    FileObjectPtr record(int row) const;
    Location location(int row) const { return m_rows.at(row); }
    // Applies one batch of changes (what the database's signal delivers).
    void apply(const RecordChanges& changes);

private:
    void reload();
    void reindexFrom(int row);

    Database& m_database;
    QList<Location> m_rows;
    QHash<Location, int> m_rowOf; // location -> row in m_rows
    bool m_fullPaths = false;
};

} // namespace trevalin
