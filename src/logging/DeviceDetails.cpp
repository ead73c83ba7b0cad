#include "logging/DeviceDetails.h"

#include <QFile>
#include <QSysInfo>

namespace trevalin {

namespace {

// The first line of a small system file, trimmed; empty when unreadable.
QString readSystemText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.read(4096);
    bytes.replace('\0', ' ');
    const qsizetype newline = bytes.indexOf('\n');
    if (newline >= 0)
        bytes.truncate(newline);
    return QString::fromUtf8(bytes).trimmed();
}

// PRETTY_HOSTNAME from /etc/machine-info (the user-visible computer name), if set.
QString prettyHostName() {
    QFile file(QStringLiteral("/etc/machine-info"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (!line.startsWith(QStringLiteral("PRETTY_HOSTNAME=")))
            continue;
        QString value = line.mid(int(qstrlen("PRETTY_HOSTNAME=")));
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
            value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        return value.trimmed();
    }
    return {};
}

} // namespace

QJsonObject DeviceDetails::current() {
    QJsonObject device;
    device.insert(QStringLiteral("os"), QStringLiteral("Linux"));
    QString version = QSysInfo::productVersion();
    if (version.isEmpty() || version == QStringLiteral("unknown"))
        version = QSysInfo::kernelVersion();
    device.insert(QStringLiteral("osVersion"), version);
    const QString hostName = QSysInfo::machineHostName();
    device.insert(QStringLiteral("hostName"), hostName);
    QString deviceName = prettyHostName();
    if (deviceName.isEmpty())
        deviceName = hostName;
    device.insert(QStringLiteral("deviceName"), deviceName);
    QString model = readSystemText(QStringLiteral("/sys/class/dmi/id/product_name"));
    if (model.isEmpty())
        model = readSystemText(QStringLiteral("/sys/firmware/devicetree/base/model"));
    if (model.isEmpty())
        model = QSysInfo::currentCpuArchitecture();
    device.insert(QStringLiteral("deviceModel"), model);
    return device;
}

} // namespace trevalin
