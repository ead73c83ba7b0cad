// Folder and File: the two entities of the folder store. A Folder is one folder the
// user added, with its monitoring switch; lookups key on `path` exactly. File is
// declared in the store and can be fetched, but the program creates none.
// Plain value types.
#pragma once

#include "model/Location.h"

#include <QMetaType>
#include <QString>
#include <QUuid>

namespace trevalin {

struct Folder {
    QUuid id;
    Location location;
    QString name;
    QString path;
    double created = 0;  // seconds since 1970-01-01 UTC; 0 when unknown
    double modified = 0; // seconds since 1970-01-01 UTC; 0 when unknown
    bool monitored = false;

    bool operator==(const Folder&) const = default;
};

struct File {
    QUuid id;

    bool operator==(const File&) const = default;
};

} // namespace trevalin

Q_DECLARE_METATYPE(trevalin::Folder)
