// DeviceDetails: the description of this computer that the upload destination sends
// with every batch — "os" ("Linux"), "osVersion" (the distribution's version, else the
// kernel's), "hostName", "deviceName" (PRETTY_HOSTNAME from /etc/machine-info, else the
// host name) and "deviceModel" (the DMI product name or device-tree model, else the CPU
// architecture).
//
// Stateless; safe from any thread.
#pragma once

#include <QJsonObject>

namespace trevalin {

class DeviceDetails {
public:
    // Reads the details afresh from the system.
    static QJsonObject current();
};

} // namespace trevalin
