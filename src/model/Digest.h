// Digest: the five supported hash algorithms, in their fixed order, with their
// string raw values ("MD5", "SHA1", "SHA256", "SHA384", "SHA512"). The enumeration
// order equals the order of the raw strings, so comparing enum values orders them
// as the raw strings do. Stateless; safe from any thread.
#pragma once

#include <QHashFunctions>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace trevalin {

enum class Digest : int { MD5 = 0, SHA1 = 1, SHA256 = 2, SHA384 = 3, SHA512 = 4 };

// All cases in declaration order.
inline constexpr std::array<Digest, 5> kAllDigests{Digest::MD5, Digest::SHA1, Digest::SHA256, Digest::SHA384,
                                                   Digest::SHA512};

// The raw string of a case.
QString toString(Digest digest);
// Parses a raw string (exact, case-sensitive). Anything else gives nothing.
std::optional<Digest> digestFromString(QStringView text);
// All cases in declaration order, as a QList.
QList<Digest> allDigests();
// Length of the digest in bytes (16, 20, 32, 48, 64); the hex text is twice as long.
int digestSize(Digest digest);

inline size_t qHash(Digest digest, size_t seed = 0) noexcept {
    return ::qHash(static_cast<int>(digest), seed);
}

} // namespace trevalin

Q_DECLARE_METATYPE(trevalin::Digest)
