#include "logging/BaseDestination.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QUuid>

#include <cstdio>

namespace trevalin {

namespace {

QString padded(const QString& value, int width) {
    if (width > 0)
        return value.rightJustified(width, u' ');
    if (width < 0)
        return value.leftJustified(-width, u' ');
    return value;
}

// The file name without directory, cut before its first ".".
QString fileNameWithoutSuffix(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    QString name = slash >= 0 ? path.mid(slash + 1) : path;
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0)
        name.truncate(dot);
    return name;
}

QString lastPathComponent(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash >= 0 ? path.mid(slash + 1) : path;
}

QString uptime(qint64 elapsedUs) {
    // Whole hours, the minutes and seconds left over, and the milliseconds of the
    // fractional second (truncated). Integer arithmetic, so 7 ms never prints as 6.
    const qint64 whole = elapsedUs / 1000000;
    const qint64 hours = whole / 3600;
    const qint64 minutes = whole / 60 - 60 * hours;
    const qint64 seconds = whole - 60 * (whole / 60);
    const int millis = int((elapsedUs % 1000000) / 1000);
    return QString::asprintf("%.2lld:%.2lld:%.2lld.%03d", hours, minutes, seconds, millis);
}

void removeTrailingWhiteSpace(QString& text) {
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    text.truncate(end);
}

qint64 nowUs() {
    return QDateTime::currentMSecsSinceEpoch() * 1000;
}

} // namespace

BaseDestination::BaseDestination()
    : m_levelString{QStringLiteral("VERBOSE"), QStringLiteral("DEBUG"), QStringLiteral("INFO"),
                    QStringLiteral("WARNING"), QStringLiteral("ERROR")}
    , m_startUs(nowUs())
    , m_queue(QStringLiteral("log-queue-") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()) {
    setFormat(QString::fromLatin1(defaultFormat));
}

BaseDestination::~BaseDestination() = default;

QString BaseDestination::format() const {
    std::lock_guard lock(m_configMutex);
    return m_format;
}

void BaseDestination::setFormat(const QString& format) {
    QList<Piece> pieces;
    const QStringList parts = (QStringLiteral("$I") + format).split(u'$');
    // parts[0] is the empty text before the leading "$I".
    for (qsizetype p = 1; p < parts.size(); ++p) {
        const QString& part = parts.at(p);
        Piece piece;
        qsizetype i = 0;
        bool negative = false;
        if (i + 1 < part.size() && part.at(i) == u'-' && part.at(i + 1).isDigit()) {
            negative = true;
            ++i;
        }
        const qsizetype digitsStart = i;
        while (i < part.size() && part.at(i) >= u'0' && part.at(i) <= u'9')
            ++i;
        int width = 0;
        if (i > digitsStart) {
            bool ok = false;
            width = part.mid(digitsStart, i - digitsStart).toInt(&ok);
            if (!ok)
                width = 0; // absurdly long number: no padding
        }
        if (i >= part.size()) {
            piece.rest = u'$' + part;
            pieces.append(piece);
            continue;
        }
        const char16_t letter = part.at(i).unicode();
        const QString rest = part.mid(i + 1);
        switch (letter) {
        case u'I':
        case u'L':
        case u'M':
        case u'T':
        case u'N':
        case u'n':
        case u'F':
        case u'l':
        case u'd':
        case u'z':
        case u'U':
        case u'C':
        case u'c':
        case u'X':
            piece.letter = letter;
            piece.padding = negative ? -width : width;
            piece.rest = rest;
            break;
        case u'D':
        case u'Z':
            piece.letter = letter;
            piece.padding = negative ? -width : width;
            piece.date = std::make_shared<DateFormatter>(rest);
            break;
        default:
            piece.rest = u'$' + part;
            break;
        }
        pieces.append(piece);
    }
    std::lock_guard lock(m_configMutex);
    m_format = format;
    m_pieces = pieces;
    m_json = format.startsWith(QStringLiteral("$J"));
}

QString BaseDestination::levelString(Level level) const {
    std::lock_guard lock(m_configMutex);
    return m_levelString.at(std::size_t(level));
}

void BaseDestination::setLevelString(Level level, const QString& text) {
    std::lock_guard lock(m_configMutex);
    m_levelString.at(std::size_t(level)) = text;
}

QString BaseDestination::levelColor(Level level) const {
    std::lock_guard lock(m_configMutex);
    return m_levelColor.at(std::size_t(level));
}

void BaseDestination::setLevelColor(Level level, const QString& color) {
    std::lock_guard lock(m_configMutex);
    m_levelColor.at(std::size_t(level)) = color;
}

QString BaseDestination::reset() const {
    std::lock_guard lock(m_configMutex);
    return m_reset;
}

void BaseDestination::setReset(const QString& reset) {
    std::lock_guard lock(m_configMutex);
    m_reset = reset;
}

QString BaseDestination::escape() const {
    std::lock_guard lock(m_configMutex);
    return m_escape;
}

void BaseDestination::setEscape(const QString& escape) {
    std::lock_guard lock(m_configMutex);
    m_escape = escape;
}

QList<Filter> BaseDestination::filters() const {
    std::lock_guard lock(m_configMutex);
    return m_filters;
}

void BaseDestination::setFilters(const QList<Filter>& filters) {
    std::lock_guard lock(m_configMutex);
    m_filters = filters;
    m_hasFilters.store(!m_filters.isEmpty());
}

void BaseDestination::addFilter(const Filter& filter) {
    std::lock_guard lock(m_configMutex);
    m_filters.append(filter);
    m_hasFilters.store(true);
}

QDateTime BaseDestination::startDate() const {
    std::lock_guard lock(m_configMutex);
    return QDateTime::fromMSecsSinceEpoch(m_startUs / 1000);
}

void BaseDestination::setStartDate(const QDateTime& date) {
    std::lock_guard lock(m_configMutex);
    m_startUs = date.toMSecsSinceEpoch() * 1000;
}

bool BaseDestination::shouldLevelBeLogged(Level level, const QString& path, const QString& function,
                                          const std::function<QString()>& message) const {
    const bool levelOk = int(level) >= m_minLevel.load(std::memory_order_relaxed);
    if (!m_hasFilters.load(std::memory_order_relaxed)) {
        if (debugPrint())
            printLine(levelOk ? QStringLiteral("filters are empty and level >= minLevel")
                              : QStringLiteral("filters are empty and level < minLevel"));
        return levelOk;
    }

    bool taken = levelOk;
    if (taken) {
        const QList<Filter> filters = this->filters();
        std::optional<QString> text;
        auto targetText = [&](const Filter& filter) -> QString {
            switch (filter.target()) {
            case Filter::Target::Path:
                return path;
            case Filter::Target::Function:
                return function;
            case Filter::Target::Message:
                if (!text)
                    text = message ? message() : QString();
                return *text;
            }
            return {};
        };
        bool anyOptional = false;
        bool optionalMatched = false;
        for (const Filter& filter : filters) {
            const bool hit = filter.matches(targetText(filter));
            if (filter.isExcluding()) {
                if (hit) {
                    taken = false;
                    break;
                }
            } else if (filter.isRequired()) {
                if (!hit) {
                    taken = false;
                    break;
                }
            } else {
                anyOptional = true;
                optionalMatched = optionalMatched || hit;
            }
        }
        if (taken && anyOptional && !optionalMatched)
            taken = false;
    }
    if (!taken && debugPrint())
        printLine(QStringLiteral("filters are not empty and message was excluded"));
    return taken;
}

std::optional<QString> BaseDestination::send(const LogEntry& entry) {
    bool json = false;
    {
        std::lock_guard lock(m_configMutex);
        json = m_json;
        if (!json)
            return formatLocked(entry);
    }
    return messageToJson(entry);
}

QString BaseDestination::formatMessage(const LogEntry& entry) const {
    std::lock_guard lock(m_configMutex);
    return formatLocked(entry);
}

QString BaseDestination::formatLocked(const LogEntry& entry) const {
    QString text;
    text.reserve(entry.message.size() + 64);
    const std::size_t level = std::size_t(entry.level);
    for (const Piece& piece : m_pieces) {
        QString value;
        switch (piece.letter) {
        case 0:
            text += piece.rest;
            continue;
        case u'I':
        case u'd':
        case u'z':
            break;
        case u'L':
            value = m_levelString.at(level);
            break;
        case u'M':
            value = entry.message;
            break;
        case u'T':
            value = entry.thread;
            break;
        case u'N':
            value = fileNameWithoutSuffix(entry.file);
            break;
        case u'n':
            value = lastPathComponent(entry.file);
            break;
        case u'F':
            value = entry.function;
            break;
        case u'l':
            value = QString::number(entry.line);
            break;
        case u'D':
            value = piece.date->format(entry.timeUs, false);
            break;
        case u'Z':
            value = piece.date->format(entry.timeUs, true);
            break;
        case u'U':
            value = uptime(entry.timeUs - m_startUs);
            break;
        case u'C':
            value = m_escape + m_levelColor.at(level);
            break;
        case u'c':
            value = m_reset;
            break;
        case u'X':
            value = contextDescription(entry.context);
            break;
        default:
            break;
        }
        text += padded(value, piece.padding);
        text += piece.rest;
    }
    removeTrailingWhiteSpace(text);
    return text;
}

std::optional<QString> BaseDestination::messageToJson(const LogEntry& entry) const {
    QJsonObject dict;
    dict.insert(QStringLiteral("timestamp"), double(entry.timeUs) / 1e6);
    dict.insert(QStringLiteral("level"), int(entry.level));
    dict.insert(QStringLiteral("message"), entry.message);
    dict.insert(QStringLiteral("thread"), entry.thread);
    dict.insert(QStringLiteral("file"), entry.file);
    dict.insert(QStringLiteral("function"), entry.function);
    dict.insert(QStringLiteral("line"), entry.line);
    if (entry.context.isValid()) {
        QJsonValue context = QJsonValue::fromVariant(entry.context);
        // A value JSON cannot carry is written as its description.
        if (context.isNull() || context.isUndefined())
            context = contextDescription(entry.context);
        dict.insert(QStringLiteral("context"), context);
    }
    const QByteArray json = QJsonDocument(dict).toJson(QJsonDocument::Compact);
    if (json.isEmpty()) {
        printLine(QStringLiteral("Logger could not create JSON from dict."));
        return std::nullopt;
    }
    return QString::fromUtf8(json);
}

QString BaseDestination::contextDescription(const QVariant& context) {
    if (!context.isValid())
        return {};
    QString text;
    switch (context.typeId()) {
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash:
        text = QString::fromUtf8(QJsonDocument::fromVariant(context).toJson(QJsonDocument::Compact));
        break;
    default:
        if (context.canConvert<QString>()) {
            text = context.toString();
        } else {
            QDebug(&text).nospace() << context;
        }
        break;
    }
    return text.trimmed();
}

void BaseDestination::printLine(const QString& text) {
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

QString BaseDestination::executableName() {
    QString name;
    if (QCoreApplication::instance())
        name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    if (name.isEmpty())
        name = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget().section(u'/', -1);
    if (name.isEmpty())
        name = QCoreApplication::applicationName();
    return name;
}

} // namespace trevalin
