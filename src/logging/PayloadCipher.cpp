#include "logging/PayloadCipher.h"

#include <QRandomGenerator>

#include <openssl/evp.h>

#include <string>

namespace trevalin {

std::optional<QByteArray> PayloadCipher::encrypt(const QByteArray& plain, const QByteArray& key,
                                                 const QByteArray& iv) {
    if (key.size() != 32 || iv.size() != 16)
        return std::nullopt;
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    if (!context)
        return std::nullopt;
    QByteArray out(plain.size() + 16, Qt::Uninitialized);
    int written = 0;
    int last = 0;
    const bool ok =
        EVP_EncryptInit_ex(context, EVP_aes_256_cbc(), nullptr,
                           reinterpret_cast<const unsigned char*>(key.constData()),
                           reinterpret_cast<const unsigned char*>(iv.constData())) == 1 &&
        EVP_EncryptUpdate(context, reinterpret_cast<unsigned char*>(out.data()), &written,
                          reinterpret_cast<const unsigned char*>(plain.constData()),
                          int(plain.size())) == 1 &&
        EVP_EncryptFinal_ex(context, reinterpret_cast<unsigned char*>(out.data()) + written, &last) == 1;
    EVP_CIPHER_CTX_free(context);
    if (!ok)
        return std::nullopt;
    out.truncate(written + last);
    return out;
}

QByteArray PayloadCipher::randomIV() {
    static constexpr int alphabetSize = int(std::char_traits<char>::length(ivCharacters));
    QByteArray iv(ivLength, Qt::Uninitialized);
    QRandomGenerator* generator = QRandomGenerator::system();
    for (int i = 0; i < ivLength; ++i)
        iv[i] = ivCharacters[generator->bounded(alphabetSize)];
    return iv;
}

} // namespace trevalin
