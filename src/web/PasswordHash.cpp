#include "web/PasswordHash.h"

#include <sodium.h>

namespace vigilux::web {

namespace {

bool sodiumReady() {
    // sodium_init() is idempotent and thread-safe; negative means unusable.
    static const bool ready = sodium_init() >= 0;
    return ready;
}

} // namespace

QByteArray PasswordHash::make(const QString& password) {
    if (password.isEmpty() || !sodiumReady())
        return {};
    const QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, utf8.constData(), static_cast<unsigned long long>(utf8.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        return {};
    return QByteArray(out);
}

bool PasswordHash::matches(const QByteArray& hash, const QString& password) {
    if (hash.isEmpty() || hash.size() >= crypto_pwhash_STRBYTES || !sodiumReady())
        return false;
    const QByteArray utf8 = password.toUtf8();
    return crypto_pwhash_str_verify(hash.constData(), utf8.constData(),
                                    static_cast<unsigned long long>(utf8.size())) == 0;
}

QByteArray randomToken(int bytes) {
    QByteArray raw(bytes, Qt::Uninitialized);
    if (!sodiumReady())
        qFatal("libsodium cannot be initialised");
    randombytes_buf(raw.data(), static_cast<size_t>(raw.size()));
    return raw.toHex();
}

} // namespace vigilux::web
