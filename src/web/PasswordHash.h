#pragma once

#include <QByteArray>
#include <QString>

namespace vigilux::web {

// The remote view's password, kept only as an Argon2id hash string
// (libsodium's crypto_pwhash_str, with its own salt and cost in it).
// Checking takes a noticeable fraction of a second on purpose. Any thread.
namespace PasswordHash {

// The hash of `password`; empty when the password is empty or hashing
// failed (out of memory).
QByteArray make(const QString& password);
// Whether `password` matches `hash`; false for an empty or malformed hash.
bool matches(const QByteArray& hash, const QString& password);

} // namespace PasswordHash

// A random token of `bytes` bytes from the system's generator, as hex.
QByteArray randomToken(int bytes = 32);

} // namespace vigilux::web
