// TutorialModel: the ten usage hints the main window lists below the folders while the
// content database is empty, as list rows in the small secondary text. The rows can be
// read but not selected. While hidden (setShown(false)) it has no rows, so a list that
// joins it after the files shows it only while there are none.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QAbstractListModel>
#include <QStringList>

namespace trevalin {

class TutorialModel : public QAbstractListModel {
    Q_OBJECT

public:
    // The hints, in order; each begins with a bullet and two spaces.
    static QStringList lines();

    explicit TutorialModel(QObject* parent = nullptr);

    bool isShown() const { return m_shown; }
    // Shows or hides the ten rows (inserted or removed as such).
    void setShown(bool shown);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    const QStringList m_lines;
    bool m_shown = true;
};

} // namespace trevalin
