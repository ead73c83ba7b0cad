#include "model/DigestState.h"

#include "logging/Logger.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QThread>

#include <algorithm>
#include <array>

namespace trevalin {

namespace {

// A JSON string literal for `text`, escaped by Qt's writer.
QByteArray jsonString(const QString& text) {
    QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2); // drop '[' and ']'
}

} // namespace

DigestState& DigestState::shared() {
    static DigestState* const instance = [] {
        auto* state = new DigestState;
        // One instance for the whole run, owned by the main thread; never destroyed so that
        // late users during shutdown still find it.
        if (QCoreApplication* app = QCoreApplication::instance();
            app && app->thread() != QThread::currentThread())
            state->moveToThread(app->thread());
        return state;
    }();
    return *instance;
}

QList<Digests> DigestState::defaultList() {
    QList<Digests> list;
    for (Digest digest : kAllDigests)
        list.append(Digests::make(digest, digest == Digest::SHA1));
    return list;
}

QByteArray DigestState::encode(const QList<Digests>& algorithms) {
    // Written by hand to keep the keys in coding order: name, digest, enabled.
    QByteArray json = "[";
    for (qsizetype i = 0; i < algorithms.size(); ++i) {
        const Digests& entry = algorithms.at(i);
        if (i > 0)
            json += ',';
        json += "{\"name\":" + jsonString(entry.name) + ",\"digest\":" + jsonString(toString(entry.digest)) +
                ",\"enabled\":" + (entry.enabled ? "true" : "false") + '}';
    }
    json += ']';
    return json;
}

std::optional<QList<Digests>> DigestState::decode(const QByteArray& data, bool* completed) {
    if (completed)
        *completed = false;
    if (data.isEmpty())
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    QList<Digests> list;
    std::array<bool, kAllDigests.size()> seen{};
    bool repaired = false;
    for (const QJsonValue& value : document.array()) {
        if (!value.isObject())
            return std::nullopt;
        const QJsonObject object = value.toObject();
        const QJsonValue name = object.value(QStringLiteral("name"));
        const QJsonValue digestText = object.value(QStringLiteral("digest"));
        const QJsonValue enabled = object.value(QStringLiteral("enabled"));
        if (!name.isString() || !digestText.isString() || !enabled.isBool())
            return std::nullopt;
        const std::optional<Digest> digest = digestFromString(digestText.toString());
        if (!digest)
            return std::nullopt;
        bool& known = seen[static_cast<size_t>(*digest)];
        if (known) {
            repaired = true; // the first entry of an algorithm is the one that counts
            continue;
        }
        known = true;
        list.append(Digests{QUuid::createUuid(), name.toString(), *digest, enabled.toBool()});
    }
    // The selection offers every algorithm: what the stored list lacks is added, switched
    // off, so the user's own choice of the others stays as it was.
    for (Digest digest : kAllDigests) {
        if (!seen[static_cast<size_t>(digest)]) {
            list.append(Digests::make(digest, false));
            repaired = true;
        }
    }
    if (repaired) {
        const bool anyEnabled =
            std::any_of(list.cbegin(), list.cend(), [](const Digests& entry) { return entry.enabled; });
        if (!anyEnabled) {
            for (Digests& entry : list) {
                if (entry.digest == Digest::SHA1)
                    entry.enabled = true;
            }
        }
    }
    if (completed)
        *completed = repaired;
    return list;
}

DigestState::DigestState(QObject* parent)
    : QObject(parent)
    , m_algorithms(defaultList()) {}

QList<Digests> DigestState::algorithms() const {
    std::lock_guard lock(m_mutex);
    return m_algorithms;
}

void DigestState::setAlgorithms(const QList<Digests>& algorithms) {
    {
        std::lock_guard lock(m_mutex);
        m_algorithms = algorithms;
    }
    emit algorithmsChanged();
}

void DigestState::setDefaults() {
    setAlgorithms(defaultList());
}

QList<Digest> DigestState::enabledDigests() const {
    std::lock_guard lock(m_mutex);
    QList<Digest> result;
    for (const Digests& entry : m_algorithms) {
        if (entry.enabled)
            result.append(entry.digest);
    }
    return result;
}

int DigestState::enabledCount() const {
    std::lock_guard lock(m_mutex);
    int count = 0;
    for (const Digests& entry : m_algorithms)
        count += entry.enabled ? 1 : 0;
    return count;
}

void DigestState::enable(Digest digest) {
    setEnabled(digest, true);
}

void DigestState::setEnabled(Digest digest, bool enabled) {
    {
        std::lock_guard lock(m_mutex);
        for (Digests& entry : m_algorithms) {
            if (entry.digest == digest)
                entry.enabled = enabled;
        }
    }
    emit algorithmsChanged();
}

void DigestState::report() const {
    QString names;
    {
        std::lock_guard lock(m_mutex);
        for (const Digests& entry : m_algorithms) {
            if (entry.enabled)
                names += entry.name + u' ';
        }
    }
    TLOG_VERBOSE(QStringLiteral("Algorithms enabled: ") + names);
}

} // namespace trevalin
