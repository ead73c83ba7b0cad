// FileState: the processing state of a tracked file, with string raw values equal to
// the case names. Stateless helpers; safe from any thread.
#pragma once

#include <QMetaType>
#include <QString>
#include <QStringView>

#include <optional>

namespace trevalin {

enum class FileState : int { Pending = 0, Processed = 1, Changing = 2, Incomplete = 3, Zombie = 4 };

// The raw string of a case ("Pending", "Processed", "Changing", "Incomplete", "Zombie").
QString toString(FileState state);
// Parses a raw string (exact, case-sensitive); anything else gives nothing.
std::optional<FileState> fileStateFromString(QStringView text);

} // namespace trevalin

Q_DECLARE_METATYPE(trevalin::FileState)
