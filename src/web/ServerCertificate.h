#pragma once

#include <QSslCertificate>
#include <QSslKey>
#include <QString>

namespace vigilux::web {

// The certificate the remote view serves: the user's own pair of PEM files,
// or a self-signed P-256 one made at the first start and kept in the
// settings folder (remote-view.crt, remote-view.key, both 0600), naming the
// machine and its addresses. Any thread; no shared state.
class ServerCertificate final {
public:
    // Loads the user's files, or the self-signed pair in `settingsFolder`,
    // making it first when it is missing or unreadable. False with `error()`
    // set when nothing usable came of it.
    bool load(const QString& settingsFolder, const QString& certificatePath = {},
              const QString& keyPath = {});

    const QSslCertificate& certificate() const { return m_certificate; }
    const QSslKey& key() const { return m_key; }
    const QString& error() const { return m_error; }
    // SHA-256 of the certificate, "AB:CD:...", for the user to compare on
    // the phone.
    QString fingerprint() const;

    // Makes a new self-signed pair as PEM; false when OpenSSL fails.
    static bool makeSelfSigned(QByteArray& certificatePem, QByteArray& keyPem);

private:
    bool loadFiles(const QString& certificatePath, const QString& keyPath);

    QSslCertificate m_certificate;
    QSslKey m_key;
    QString m_error;
};

} // namespace vigilux::web
