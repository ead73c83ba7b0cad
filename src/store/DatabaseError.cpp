#include "store/DatabaseError.h"

namespace trevalin {

QString toString(DatabaseError error) {
    switch (error) {
    case DatabaseError::InvalidIndex:
        return QStringLiteral("InvalidIndex");
    case DatabaseError::NoDatabaseError:
        return QStringLiteral("NoDatabaseError");
    case DatabaseError::LoadDatabaseError:
        return QStringLiteral("LoadDatabaseError");
    case DatabaseError::SaveDatabaseError:
        return QStringLiteral("SaveDatabaseError");
    case DatabaseError::DatabaseEmpty:
        return QStringLiteral("DatabaseEmpty");
    case DatabaseError::DumpFilterInvalid:
        return QStringLiteral("DumpFilterInvalid");
    case DatabaseError::LocationNotPresent:
        return QStringLiteral("LocationNotPresent");
    }
    return {};
}

DatabaseException::DatabaseException(DatabaseError error, int position)
    : m_error(error)
    , m_position(position) {
    QString text = toString(error);
    if (error == DatabaseError::InvalidIndex)
        text += QStringLiteral("(position: %1)").arg(position);
    m_what = text.toStdString();
}

DatabaseException::DatabaseException(DatabaseError error, const QString& detail, const QString& movedTo)
    : DatabaseException(error) {
    m_detail = detail;
    m_movedTo = movedTo;
}

} // namespace trevalin
