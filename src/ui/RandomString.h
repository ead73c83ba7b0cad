// RandomString: the taglines model — every tagline of a bundled text file (one a line,
// in file order) and the one currently shown, picked at random. regenerate() picks
// again; the save scheduler calls it after every save. A missing or empty file gives no
// taglines and an empty current tagline.
//
// Thread-safety: a QObject of the GUI thread whose fields are guarded by m_mutex; every
// public function may be called from any thread. randomStringChanged() is emitted on the
// thread that made the change, after the change and outside the lock.
#pragma once

#include "engine/TaglineSource.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>
#include <optional>

namespace trevalin {

class RandomString : public QObject, public TaglineSource {
    Q_OBJECT

public:
    // Where the program's text files are bundled.
    static constexpr const char* kResourceRoot = ":/";

    // The program's taglines, from "Taglines", created on first use.
    static std::shared_ptr<RandomString> shared();

    // The lines of root + filename + ".txt" read as UTF-8, split at every line feed (a
    // final line feed gives a last, empty entry). Nothing, with an error logged, when the
    // file is missing or unreadable.
    static std::optional<QStringList>
    loadTextIntoArray(const QString& filename, const QString& root = QString::fromLatin1(kResourceRoot));

    explicit RandomString(const QString& filename, const QString& root = QString::fromLatin1(kResourceRoot),
                          QObject* parent = nullptr);

    QString randomString() const;
    QStringList database() const;

    // TaglineSource: picks a tagline at random (it may be the current one again) and
    // logs it. Without taglines nothing happens.
    void regenerate() override;

signals:
    void randomStringChanged(const QString& randomString);

private:
    mutable std::mutex m_mutex;
    QStringList m_database; // guarded by m_mutex; never changes after construction
    QString m_randomString; // guarded by m_mutex
};

} // namespace trevalin
