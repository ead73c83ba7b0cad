// ContentRoles: what the rows of the main window's list are and the data roles they
// share, so one delegate can draw the folder header, the folders, the divider, the
// file header, the files and the tutorial from the models of their sections.
//
// Thread-safety: constants only.
#pragma once

#include <Qt>

namespace trevalin {

enum class RowKind : int { Header, Folder, Divider, File, Tutorial };

namespace roles {
constexpr int Kind = Qt::UserRole + 100;         // RowKind
constexpr int TrailingText = Qt::UserRole + 101; // a header's text on the right (QString)
constexpr int Monitored = Qt::UserRole + 102;    // a folder row is monitored (bool)
} // namespace roles

} // namespace trevalin
