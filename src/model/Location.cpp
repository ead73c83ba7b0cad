#include "model/Location.h"

#include <QDir>
#include <QStringList>

namespace trevalin {

namespace {

// Already absolute and clean: no empty, "." or ".." component and no trailing slash.
// Most paths are (a folder's entries are made from a clean folder path and a name), and
// taking them as they are spares splitting and joining them.
bool isClean(const QString& path) {
    if (!path.startsWith(u'/'))
        return false;
    if (path.size() == 1)
        return true;
    qsizetype start = 1;
    for (;;) {
        const qsizetype slash = path.indexOf(u'/', start);
        const qsizetype end = slash < 0 ? path.size() : slash;
        const QStringView part = QStringView(path).mid(start, end - start);
        if (part.isEmpty() || part == u"." || part == u"..")
            return false;
        if (slash < 0)
            return true;
        start = slash + 1;
    }
}

} // namespace

QString Location::normalise(const QString& path) {
    if (path.isEmpty())
        return {};
    if (isClean(path))
        return path;
    const QString absolute = path.startsWith(u'/') ? path : QDir::currentPath() + u'/' + path;
    QStringList parts;
    for (const QString& part : absolute.split(u'/', Qt::SkipEmptyParts)) {
        if (part == u".")
            continue;
        if (part == u"..") {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts.append(part);
    }
    return u'/' + parts.join(u'/');
}

Location::Location(const QString& path)
    : m_path(normalise(path)) {}

Location Location::fromUrl(const QUrl& url) {
    if (!url.isValid() || !url.isLocalFile())
        return {};
    const QString host = url.host();
    if (!host.isEmpty() && host.compare(u"localhost", Qt::CaseInsensitive) != 0)
        return {};
    QUrl local = url;
    local.setHost(QString());
    const QString path = local.toLocalFile();
    if (!path.startsWith(u'/'))
        return {};
    return Location(path);
}

Location Location::fromUrlText(const QString& text) {
    if (text.startsWith(u'/'))
        return Location(text);
    return fromUrl(QUrl(text, QUrl::StrictMode));
}

QString Location::fileName() const {
    const qsizetype slash = m_path.lastIndexOf(u'/');
    return slash < 0 ? m_path : m_path.mid(slash + 1);
}

QString Location::directory() const {
    const qsizetype slash = m_path.lastIndexOf(u'/');
    if (slash <= 0)
        return m_path.isEmpty() ? QString() : QStringLiteral("/");
    return m_path.left(slash);
}

Location Location::parent() const {
    Location result;
    result.m_path = directory();
    return result;
}

Location Location::child(const QString& name) const {
    if (m_path.isEmpty())
        return Location(name);
    return Location(m_path == u"/" ? u'/' + name : m_path + u'/' + name);
}

QString Location::suffix() const {
    const QString name = fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= 0 || dot == name.size() - 1)
        return {};
    return name.mid(dot + 1);
}

QUrl Location::url() const {
    return m_path.isEmpty() ? QUrl() : QUrl::fromLocalFile(m_path);
}

QString Location::urlText() const {
    return m_path.isEmpty() ? QString() : url().toString(QUrl::FullyEncoded);
}

} // namespace trevalin
