#include "store/PlistFile.h"

#include "store/PlistError.h"
#include "store/PlistWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace trevalin {

void PlistFile::write(const QString& path, const std::function<void(PlistWriter&)>& body) {
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        throw PlistError(QStringLiteral("Unable to create the folder %1").arg(info.absolutePath()));
    QSaveFile file(path);
    // Never fall back to writing the target in place: the old file must survive a crash.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        throw PlistError(QStringLiteral("Unable to write %1: %2").arg(path, file.errorString()));
    PlistWriter writer(&file);
    writer.beginDocument();
    body(writer);
    writer.endDocument();
    if (writer.hasError()) {
        file.cancelWriting();
        throw PlistError(
            QStringLiteral("Unable to encode property list %1: %2").arg(path, file.errorString()));
    }
    if (!file.commit())
        throw PlistError(QStringLiteral("Unable to write %1: %2").arg(path, file.errorString()));
}

QByteArray PlistFile::read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw PlistError(QStringLiteral("Unable to open %1: %2").arg(path, file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw PlistError(QStringLiteral("Unable to read %1: %2").arg(path, file.errorString()));
    return bytes;
}

void PlistFile::readWith(const QString& path, const std::function<void(QIODevice*)>& decode) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw PlistError(QStringLiteral("Unable to open %1: %2").arg(path, file.errorString()));
    decode(&file);
}

bool PlistFile::isPropertyListSafe(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x20) {
            if (c != u'\t' && c != u'\n' && c != u'\r')
                return false;
        } else if (QChar::isHighSurrogate(c)) {
            if (i + 1 >= text.size() || !QChar::isLowSurrogate(text[i + 1].unicode()))
                return false;
            ++i;
        } else if (QChar::isLowSurrogate(c) || c == 0xFFFE || c == 0xFFFF || c == 0xFFFD) {
            return false;
        }
    }
    return true;
}

QString PlistFile::printable(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

} // namespace trevalin
