// PayloadCipher: the encryption of the upload destination's payload — AES-256-CBC with
// PKCS#7 padding under a 32-byte key and an IV of 16 random alphanumeric characters.
//
// Stateless; safe from any thread.
#pragma once

#include <QByteArray>

#include <optional>

namespace trevalin {

class PayloadCipher {
public:
    static constexpr int ivLength = 16;
    static constexpr const char* ivCharacters =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

    // AES-256-CBC with PKCS#7 padding; no value unless the key has 32 bytes and the
    // IV 16.
    static std::optional<QByteArray> encrypt(const QByteArray& plain, const QByteArray& key,
                                             const QByteArray& iv);
    // ivLength characters drawn uniformly from ivCharacters.
    static QByteArray randomIV();
};

} // namespace trevalin
