#include "ui/RandomString.h"

#include "logging/Logger.h"
#include "store/Debugging.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QThread>

namespace trevalin {

namespace {

QString pick(const QStringList& taglines) {
    if (taglines.isEmpty())
        return {};
    return taglines.at(qsizetype(QRandomGenerator::global()->bounded(quint32(taglines.size()))));
}

} // namespace

std::shared_ptr<RandomString> RandomString::shared() {
    static const std::shared_ptr<RandomString> instance =
        std::make_shared<RandomString>(QStringLiteral("Taglines"));
    return instance;
}

std::optional<QStringList> RandomString::loadTextIntoArray(const QString& filename, const QString& root) {
    const QString name = filename + QStringLiteral(".txt");
    QFile file(root + name);
    if (!file.open(QIODevice::ReadOnly)) {
        TLOG_ERROR(QStringLiteral("Failed to populate array from file in application bundle: [ ") + name +
                   QStringLiteral(" ]"));
        return std::nullopt;
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    if (Debugging::flag())
        TLOG_DEBUG(QStringLiteral("Populated array from file in application bundle [ ") + name +
                   QStringLiteral(" ]"));
    return lines;
}

RandomString::RandomString(const QString& filename, const QString& root, QObject* parent)
    : QObject(parent)
    , m_database(loadTextIntoArray(filename, root).value_or(QStringList()))
    , m_randomString(pick(m_database)) {
    // The model belongs to the GUI thread even when a pool task happens to create it.
    if (!parent && QCoreApplication::instance() && thread() != QCoreApplication::instance()->thread())
        moveToThread(QCoreApplication::instance()->thread());
}

QString RandomString::randomString() const {
    std::lock_guard lock(m_mutex);
    return m_randomString;
}

QStringList RandomString::database() const {
    std::lock_guard lock(m_mutex);
    return m_database;
}

void RandomString::regenerate() {
    QString tagline;
    {
        std::lock_guard lock(m_mutex);
        if (m_database.isEmpty())
            return;
        tagline = pick(m_database);
        m_randomString = tagline;
    }
    emit randomStringChanged(tagline);
    TLOG_INFO(QStringLiteral("Generated a new tagline [ ") + tagline + QStringLiteral(" ]"));
}

} // namespace trevalin
