#include "model/FileState.h"

#include <array>

namespace trevalin {

QString toString(FileState state) {
    switch (state) {
    case FileState::Pending:
        return QStringLiteral("Pending");
    case FileState::Processed:
        return QStringLiteral("Processed");
    case FileState::Changing:
        return QStringLiteral("Changing");
    case FileState::Incomplete:
        return QStringLiteral("Incomplete");
    case FileState::Zombie:
        return QStringLiteral("Zombie");
    }
    return {};
}

std::optional<FileState> fileStateFromString(QStringView text) {
    static constexpr std::array<FileState, 5> all{FileState::Pending, FileState::Processed,
                                                  FileState::Changing, FileState::Incomplete,
                                                  FileState::Zombie};
    for (FileState state : all) {
        if (text == toString(state))
            return state;
    }
    return std::nullopt;
}

} // namespace trevalin
