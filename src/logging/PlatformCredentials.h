// PlatformCredentials: the three values that identify this application to the
// remote log platform and encrypt what it uploads there. Plain value type.
//
// The built-in values below belong to the deployment: whoever deploys a build
// that uploads logs registers the application with the log platform and puts the
// identifier, secret and key it receives here. The shipped start-up configuration
// never installs the upload destination, so these values are never used to send
// anything unless a deployment turns the upload on.
#pragma once

#include <QString>

namespace trevalin {

struct PlatformCredentials {
    // 6 alphanumeric characters.
    static constexpr const char* builtInAppID = "TrvL01";
    // 32 alphanumeric characters.
    static constexpr const char* builtInAppSecret = "k8Qm2ZrT5vXw9LpB3nHc7YdF4sGj6AeU";
    // 32 alphanumeric characters: the AES-256 key, used as its UTF-8 bytes.
    static constexpr const char* builtInEncryptionKey = "R7tW2qLx9MzK4vN8bC3pY6hJ5sD1gF0e";

    QString appID;
    QString appSecret;
    QString encryptionKey;

    // The values the application is built with.
    static PlatformCredentials builtIn() {
        return {QString::fromLatin1(builtInAppID), QString::fromLatin1(builtInAppSecret),
                QString::fromLatin1(builtInEncryptionKey)};
    }

    friend bool operator==(const PlatformCredentials&, const PlatformCredentials&) = default;
};

} // namespace trevalin
