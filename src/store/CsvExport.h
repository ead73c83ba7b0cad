// CsvExport: the CSV export text of the content database — the header
// "Path,MD5,SHA1,SHA256,SHA384,SHA512" and one row per record (FileObject::csvRow()),
// each line ending in CR.
//
// Stateless; safe from any thread (the records are read through their own locks).
#pragma once

#include "model/FileObject.h"

#include <QList>
#include <QString>

namespace trevalin {

class CsvExport {
public:
    // The whole text for `records`, in their order.
    static QString text(const QList<FileObjectPtr>& records);
};

} // namespace trevalin
