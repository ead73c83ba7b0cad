#include "app/DragDropDelegate.h"

#include "engine/Process.h"
#include "logging/LogTag.h"
#include "logging/Logger.h"
#include "store/Debugging.h"

#include <QMimeData>
#include <QUrl>

namespace trevalin {

DropAggregator::DropAggregator(int total, Intake intake)
    : m_total(total)
    , m_intake(std::move(intake)) {}

void DropAggregator::add(const Location& location) {
    QList<Location> complete;
    {
        QMutexLocker lock(&m_mutex);
        if (Debugging::flag())
            TLOG_DEBUG(QStringLiteral("[ ") + QString::number(m_urls.size() + 1) +
                       QStringLiteral(" ] Dragged URL: ") + location.urlText());
        if (m_total == 1) {
            lock.unlock();
            m_intake.single(location);
            return;
        }
        m_urls.append(location);
        if (m_urls.size() != m_total)
            return;
        complete = m_urls;
    }
    m_intake.list(complete);
}

DragDropDelegate::DragDropDelegate(DropAggregator::Intake intake)
    : m_intake(std::move(intake)) {
    if (!m_intake.single)
        m_intake.single = [](const Location& location) { Process::added(location); };
    if (!m_intake.list)
        m_intake.list = [](const QList<Location>& locations) { Process::added(locations); };
}

bool DragDropDelegate::canTake(const QMimeData& data) {
    return data.hasUrls();
}

bool DragDropDelegate::performDrop(const QMimeData& data) {
    QList<Location> locations;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            locations.append(Location::fromUrl(url));
        else if (!url.isEmpty())
            TLOG_WARNING(QStringLiteral("Dragged item is not a local file and was left out: ") +
                         url.toString());
    }
    if (locations.isEmpty()) {
        TLOG_ERROR(QStringLiteral("Dragged content type did not conform to: text/uri-list"));
        return false;
    }
    TLOG_VERBOSE(QStringLiteral("A valid drag and drop operation contained element count: [ ") +
                 QString::number(locations.size()) + QStringLiteral(" ]"));
    DropAggregator aggregator(int(locations.size()), m_intake);
    for (const Location& location : locations)
        aggregator.add(location);
    return true;
}

} // namespace trevalin
