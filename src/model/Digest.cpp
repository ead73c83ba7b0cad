#include "model/Digest.h"

namespace trevalin {

QString toString(Digest digest) {
    switch (digest) {
    case Digest::MD5:
        return QStringLiteral("MD5");
    case Digest::SHA1:
        return QStringLiteral("SHA1");
    case Digest::SHA256:
        return QStringLiteral("SHA256");
    case Digest::SHA384:
        return QStringLiteral("SHA384");
    case Digest::SHA512:
        return QStringLiteral("SHA512");
    }
    return {};
}

std::optional<Digest> digestFromString(QStringView text) {
    for (Digest digest : kAllDigests) {
        if (text == toString(digest))
            return digest;
    }
    return std::nullopt;
}

QList<Digest> allDigests() {
    return QList<Digest>(kAllDigests.begin(), kAllDigests.end());
}

int digestSize(Digest digest) {
    switch (digest) {
    case Digest::MD5:
        return 16;
    case Digest::SHA1:
        return 20;
    case Digest::SHA256:
        return 32;
    case Digest::SHA384:
        return 48;
    case Digest::SHA512:
        return 64;
    }
    return 0;
}

} // namespace trevalin
