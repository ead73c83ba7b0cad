// ProjectLinks: the addresses of the project's pages that the program links to, all
// under one base address.
//
// Thread-safety: constants and pure functions; callable from any thread.
#pragma once

#include <QString>
#include <QUrl>

namespace trevalin {

class ProjectLinks {
public:
    // The base address of the project's pages.
    static constexpr const char* kBase = "https://corvane.org/trevalin/";

    // Where users write a review.
    static QUrl review() { return page("review"); }
    // Help and support.
    static QUrl support() { return page("support"); }

private:
    static QUrl page(const char* name) { return QUrl(QLatin1String(kBase) + QLatin1String(name)); }
};

} // namespace trevalin
